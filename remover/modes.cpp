#include "remover/modes.h"

#include <string>
#include <utility>

#include "remover/backup_session.h"
#include "remover/guarded.h"
#include "remover/report_run.h"
#include "replay/log/log.h"
#include "replay/unicode/unicode.h"

namespace {

// Where a real run would save the backup `backup` asks for; empty when it asks for none.
std::string planned_backup_line(const backup_request& backup) {
  if (backup.what != backup_request::mode::backup) return std::string();
  std::string place = "'" + backup.folder + "'";
  if (backup.folder.empty()) {
    try {
      place = "a new folder named by date and time below '" +
              replay::to_narrow(default_backup_place()) + "'";
    } catch (...) {
      place = "a new folder named by date and time";
    }
  }
  return "Backup: a real run would save what it changes in " + place +
         "; a report-only run changes nothing and makes no backup";
}

}  // namespace

int run_real_pass(const backup_request& backup, const pass_settings& pass) {
  backup_session backup_of_run;
  return run_real_pass(backup, pass, backup_of_run);
}

int run_real_pass(const backup_request& backup, const pass_settings& pass,
                  backup_session& backup_of_run) {
  if (backup.what != backup_request::mode::backup) {
    run_cleanup_pass(pass);
    return 0;
  }
  product_uninstall_record product = find_product();
  if (!backup_of_run.start(backup, folders_the_pass_removes(pass, product))) return 1;
  run_cleanup_pass(pass, std::move(product));
  guarded("backup", [&] { backup_of_run.finish(); });
  return 0;
}

int run_report_only_pass(const backup_request& backup, const pass_settings& pass) {
  const report_run run(true);
  const std::string planned_backup = planned_backup_line(backup);
  if (!planned_backup.empty()) {
    guarded("backup", [&] { replay::log_info("%s", planned_backup.c_str()); });
  }
  run_cleanup_pass(pass);
  bool written = false;
  guarded("write_report()", [&] { written = run.finish(pass.names, planned_backup); });
  return written ? 0 : 1;
}

int refuse_restore_in_report_only_run() {
  guarded("restore", [] {
    replay::log_info(
        "ATTENTION: a restore changes the machine: it does not run in a report-only run");
  });
  return 1;
}
