#include "remover/report_run.h"

#include <windows.h>

#include <cstdio>

#include "remover/report_file.h"
#include "remover/version_line.h"
#include "replay/file/plain_file.h"
#include "replay/log/log.h"

namespace {

std::string local_time_text() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}

}  // namespace

report_run::report_run(bool report_only) : m_started(local_time_text()) {
  if (report_only) m_scope = std::make_unique<replay::changes_scope>(m_plan);
}

std::string first_log_line(bool report_only) {
  return version_log_text() + (report_only ? " report-only run: nothing is changed" : "");
}

bool report_run::finish(const run_settings& settings, const std::string& backup) const {
  if (!report_only()) return true;
  const std::string path = report_path();
  const report_header header{first_log_line(), m_started, command_line_log_text(settings), backup};
  const unsigned long error =
      write_report(replay::ansi_path(path), report_text(header, m_plan.planned()));
  if (error != 0) {
    replay::log_info("ATTENTION: the report '%s' cannot be written (%lu)", path.c_str(), error);
    return false;
  }
  replay::log_info("Report of %u changes written to '%s'",
                   static_cast<unsigned>(m_plan.planned().size()), path.c_str());
  return true;
}
