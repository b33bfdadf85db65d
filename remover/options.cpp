#include "remover/options.h"

namespace {

run_mode mode_of(bool report_only, backup_request::mode backup) {
  if (backup == backup_request::mode::restore) {
    return report_only ? run_mode::refused_restore : run_mode::restore;
  }
  return report_only ? run_mode::report_only : run_mode::real_run;
}

}  // namespace

bool marked_report_only(run_mode mode) {
  return mode == run_mode::report_only || mode == run_mode::refused_restore;
}

// The backup word may stand before "/report" or after it; the names follow both.
purgeline_options read_options(const std::string& command_line) {
  purgeline_options options;
  std::string rest = take_backup_word(command_line, options.backup);
  const bool report_only = take_report_switch(rest);
  if (report_only && options.backup.what == backup_request::mode::none) {
    rest = take_backup_word(rest, options.backup);
  }
  options.mode = mode_of(report_only, options.backup.what);
  options.names_given = read_command_line(rest, options.names);
  return options;
}
