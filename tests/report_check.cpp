#include "tests/report_check.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace e2e {
namespace {

using test_support::item_within;
using test_support::machine_change;

const char kServices[] = "HKLM\\System\\CurrentControlSet\\Services\\";
const char kControlSet[] = "HKLM\\System\\ControlSet001\\Services\\";
const char kPendingRenames[] =
    "value HKLM\\System\\CurrentControlSet\\Control\\Session Manager "
    "[PendingFileRenameOperations]";

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return text;
}

bool same_item(const std::string& item, const std::string& name) {
  return lower(item) == lower(name);
}

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (std::string::size_type tab; (tab = line.find('\t', start)) != std::string::npos;
       start = tab + 1) {
    parts.push_back(line.substr(start, tab - start));
  }
  parts.push_back(line.substr(start));
  return parts;
}

report_line parse_line(const std::string& text) {
  report_line line;
  line.text = text;
  const std::vector<std::string> parts = split_tabs(text);
  line.what = parts[0];
  std::string where = parts.size() > 1 ? parts[1] : std::string();
  line.detail = parts.size() > 2 ? parts[2] : std::string();
  for (const char* view : {" (32-bit view)", " (64-bit view)"}) {
    const std::string suffix = view;
    if (where.size() > suffix.size() &&
        where.compare(where.size() - suffix.size(), suffix.size(), suffix) == 0) {
      where.erase(where.size() - suffix.size());
    }
  }
  if (line.what == "delete value" || line.what == "set value") {
    const std::string::size_type bracket = where.rfind(" [");
    if (bracket != std::string::npos && where.back() == ']') {
      line.value = where.substr(bracket + 2, where.size() - bracket - 3);
      where.erase(bracket);
    }
  }
  line.where = where;
  return line;
}

// The snapshot's item a line names; empty for a line that names none (a program run: what it
// does is the program's own business, and the suite's stand-in changes nothing).
std::string item_of(const report_line& line) {
  if (line.what == "end process") return "process " + lower(line.where);
  if (line.what == "stop service" || line.what == "delete service") return "service " + line.where;
  if (line.what == "delete file" || line.what == "remove folder" || line.what == "write file") {
    return "file " + line.where;
  }
  if (line.what == "delete key") return "key " + line.where;
  if (line.what == "delete value" || line.what == "set value") {
    return "value " + line.where + " [" + line.value + "]";
  }
  if (line.what == "schedule at restart") return kPendingRenames;
  return std::string();
}

const machine_change* find_change(const std::vector<machine_change>& changes,
                                  const std::string& item) {
  for (const machine_change& change : changes) {
    if (same_item(change.item, item)) return &change;
  }
  return nullptr;
}

// Whether the line's change shows in the snapshots as it should.
bool line_matches(const report_line& line, const std::vector<machine_change>& changes,
                  const test_support::machine_snapshot& before) {
  const std::string item = item_of(line);
  if (line.what == "run program") return true;
  const machine_change* change = find_change(changes, item);
  if (line.what == "write file" && change == nullptr) {
    // The snapshot records sizes, not contents: a rewrite of the same size shows no change.
    return before.items.count(item) != 0;
  }
  if (change == nullptr) return false;
  const bool removal = line.what == "delete file" || line.what == "remove folder" ||
                       line.what == "delete key" || line.what == "delete value" ||
                       line.what == "delete service";
  return !removal || change->after == "absent";
}

// The image name of a service's program, from its ImagePath before the run.
std::string service_process(const std::string& service,
                            const test_support::machine_snapshot& before) {
  for (const auto& item : before.items) {
    if (!same_item(item.first, "value " + std::string(kServices) + service + " [ImagePath]")) {
      continue;
    }
    std::string path = item.second;
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    const std::string::size_type exe = lower(path).find(".exe");
    if (exe != std::string::npos) path.erase(exe + 4);
    const std::string::size_type slash = path.find_last_of('\\');
    return "process " + lower(slash == std::string::npos ? path : path.substr(slash + 1));
  }
  return std::string();
}

bool line_covers(const report_line& line, const machine_change& change,
                 const test_support::machine_snapshot& before) {
  const std::string item = item_of(line);
  if (!item.empty() && same_item(change.item, item)) return true;
  if (line.what == "delete key" || line.what == "remove folder") {
    return item_within(change.item, line.where);
  }
  if (line.what == "delete service") {
    return item_within(change.item, kServices + line.where) ||
           item_within(change.item, kControlSet + line.where);
  }
  if (line.what == "stop service" || line.what == "delete service") {
    const std::string process = service_process(line.where, before);
    return !process.empty() && same_item(change.item, process);
  }
  return false;
}

}  // namespace

std::string report_path() {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  return std::string(temp, length) + "CVPurgeline.report.txt";
}

std::vector<report_line> read_report(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<report_line> lines;
  if (text.compare(0, 3, "\xEF\xBB\xBF") != 0) {
    ADD_FAILURE() << "no report, or no byte order mark: " << path;
    return lines;
  }
  // Header, empty line, the changes, empty line, summary.
  int empty_lines = 0;
  std::string::size_type start = 3;
  for (std::string::size_type end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string line = text.substr(start, end - start);
    if (line.empty()) {
      ++empty_lines;
    } else if (empty_lines == 1) {
      lines.push_back(parse_line(line));
    }
  }
  EXPECT_EQ(2, empty_lines) << "header, changes and summary apart";
  return lines;
}

std::string report_mismatch::text() const {
  std::string out;
  out += std::to_string(lines_without_change.size()) + " report lines without a change:\n";
  for (const std::string& line : lines_without_change) out += "  " + line + "\n";
  out += std::to_string(changes_without_line.size()) + " changes without a report line:\n";
  for (const std::string& change : changes_without_line) out += "  " + change + "\n";
  return out;
}

report_mismatch compare_report(const std::vector<report_line>& report,
                               const std::vector<machine_change>& changes,
                               const test_support::machine_snapshot& before) {
  report_mismatch mismatch;
  for (const report_line& line : report) {
    if (!line_matches(line, changes, before)) mismatch.lines_without_change.push_back(line.text);
  }
  for (const machine_change& change : changes) {
    const bool covered = std::any_of(report.begin(), report.end(), [&](const report_line& line) {
      return line_covers(line, change, before);
    });
    if (!covered) mismatch.changes_without_line.push_back(change.text());
  }
  return mismatch;
}

}  // namespace e2e
