#include "remover/report_file.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "remover/temp_folder.h"
#include "replay/file/plain_file.h"
#include "replay/unicode/unicode.h"

namespace {

const char kLineEnd[] = "\r\n";

std::string utf8(const std::wstring& text) {
  return replay::to_narrow(text, CP_UTF8, false);
}

// A name read from the machine may hold anything: in each column, a control character (the
// tab that separates the columns and line breaks included) and "%" itself are written as "%XX",
// so that a change stays on one line, keeps its three columns, and no name reads as an escape.
std::string field(const std::wstring& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : utf8(text)) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '%') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// What, where and detail of a change (as replay::change::text() gives them), each escaped.
std::string report_line(const replay::change& c) {
  std::string where = field(c.where);
  if (c.kind == replay::change_kind::delete_value || c.kind == replay::change_kind::set_value) {
    where += " [" + field(c.value) + "]";
  }
  if (c.view != replay::registry_view::none) {
    where += " (" + utf8(replay::registry_view_text(c.view)) + ")";
  }
  return std::string(replay::change_kind_text(c.kind)) + "\t" + where + "\t" + field(c.detail);
}

void add_line(std::string& text, const std::string& line) {
  text += line;
  text += kLineEnd;
}

// Programs a report-only run does not start: the result a real run would see is assumed, and
// the change's detail says which.
void add_assumptions(std::string& text, const std::vector<replay::change>& changes) {
  add_line(text,
           "Assumed: a file that a process holds open can be deleted (the run ends the suite's "
           "processes first); the program of a process that keeps running stays in use, as the "
           "real run finds it.");
  for (const replay::change& c : changes) {
    if (c.kind != replay::change_kind::run_program) continue;
    add_line(text, "Assumed: '" + utf8(c.where) + "' is not started; the run is judged on: " +
                       (c.detail.empty() ? std::string("its usual result") : utf8(c.detail)) + ".");
  }
}

// The order of the summary's lines: what ends and stops first, then what is removed, then what
// is written, as a real run meets them.
const replay::change_kind kSummaryOrder[] = {
    replay::change_kind::end_process,         replay::change_kind::stop_service,
    replay::change_kind::delete_service,      replay::change_kind::run_program,
    replay::change_kind::delete_file,         replay::change_kind::remove_folder,
    replay::change_kind::delete_key,          replay::change_kind::delete_value,
    replay::change_kind::set_value,           replay::change_kind::write_file,
    replay::change_kind::schedule_at_restart,
};
static_assert(std::size(kSummaryOrder) == replay::change_kind_count, "every kind in the summary");

void add_summary(std::string& text, const std::vector<replay::change>& changes) {
  add_line(text, "Summary: " + std::to_string(changes.size()) + " changes");
  for (const replay::change_kind kind : kSummaryOrder) {
    const auto count = std::count_if(changes.begin(), changes.end(),
                                     [kind](const replay::change& c) { return c.kind == kind; });
    add_line(text, std::string(replay::change_kind_text(kind)) + ": " + std::to_string(count));
  }
}

}  // namespace

std::string report_path() {
  return log_folder() + "CVPurgeline.report.txt";
}

std::string report_text(const report_header& header, const std::vector<replay::change>& changes) {
  std::string text = "\xEF\xBB\xBF";
  add_line(text, header.run);
  add_line(text, "Started: " + header.started);
  add_line(text, header.settings);
  if (!header.backup.empty()) add_line(text, header.backup);
  add_line(text,
           "What a real run would change on this machine, in the order it would change it "
           "(what<TAB>where<TAB>detail). Nothing was changed.");
  add_assumptions(text, changes);
  add_line(text, "");
  for (const replay::change& c : changes) add_line(text, report_line(c));
  add_line(text, "");
  add_summary(text, changes);
  return text;
}

unsigned long write_report(const std::wstring& path, const std::string& text) {
  const replay::scoped_handle file = replay::replace_with_plain_file(path, GENERIC_WRITE, 0);
  if (!file) return GetLastError();
  DWORD written = 0;
  if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    return GetLastError();
  }
  return written == text.size() ? 0 : ERROR_WRITE_FAULT;
}
