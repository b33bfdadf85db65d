#include "remover/purgeline_main.h"

#include "remover/backup_session.h"
#include "remover/guarded.h"
#include "remover/modes.h"
#include "remover/options.h"
#include "remover/pass.h"
#include "remover/report_run.h"
#include "remover/temp_folder.h"
#include "replay/log/file.h"
#include "replay/log/log.h"

namespace {

// A log file that cannot be made leaves the run going without one, and says nothing.
void open_log(const std::string& base_name) {
  try {
    replay::log_add_listener(new replay::log::file(base_name));
  } catch (...) {
  }
}

// The log of one run, whatever its mode: opened with the run's first line, shut down when the
// run ends.
class run_log {
 public:
  explicit run_log(const std::string& first_line) {
    guarded("open_log()", [] { open_log(log_base_name()); });
    guarded("version line", [&] { replay::log_info("%s", first_line.c_str()); });
  }
  ~run_log() { guarded("log_shutdown()", replay::log_shutdown); }
  run_log(const run_log&) = delete;
  run_log& operator=(const run_log&) = delete;
};

int run_chosen_mode(const purgeline_options& options, const pass_settings& pass) {
  switch (options.mode) {
    case run_mode::restore:
      return run_restore(options.backup.folder);
    case run_mode::refused_restore:
      return refuse_restore_in_report_only_run();
    case run_mode::report_only:
      return run_report_only_pass(options.backup, pass);
    case run_mode::real_run:
      break;
  }
  return run_real_pass(options.backup, pass);
}

}  // namespace

// The pass reads what it needs before the log opens, as it always has, in every mode.
int purgeline_main(const std::string& command_line) {
  const purgeline_options options = read_options(command_line);
  const pass_settings pass = prepare_cleanup_pass(options.names, options.names_given);
  const run_log log(first_log_line(marked_report_only(options.mode)));
  return run_chosen_mode(options, pass);
}
