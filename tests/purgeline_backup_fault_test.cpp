// A backup that fails halfway through the pass (saving for one change fails, as on a full
// disk): that change is not made, the pass goes on, and every item is either removed with its
// backup or not removed, so the restore gives back the machine as it was. In-process, so that
// the failure can be placed on one change: the real pass runs with a backup session whose backup
// fails on purpose (testing/failing_backup_observer.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "remover/backup_session.h"
#include "remover/modes.h"
#include "remover/options.h"
#include "remover/pass.h"
#include "remover/purgeline_main.h"
#include "testing/failing_backup_observer.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/machine_snapshot.h"
#include "testing/text.h"
#include "tests/backup_comparison.h"
#include "tests/purgeline_process.h"
#include "tests/seed/suite_machine.h"

namespace {

const char kBackup[] = "C:\\purgeline-backup";

TEST(PurgelineBackupFault, AFailingSaveLeavesEveryItemRemovedWithItsBackupOrNotRemoved) {
  seed::stop_suite_processes();
  test_support::remove_forced(test_support::wide(kBackup));
  seed::suite_options options;
  options.helpers_folder = e2e::program_folder();
  seed::install_suite(options);
  const test_support::machine_snapshot before = test_support::take_machine_snapshot();

  {
    test_support::captured_log log;
    const purgeline_options options = read_options(std::string("/backup:") + kBackup);
    const pass_settings pass = prepare_cleanup_pass(options.names, options.names_given);
    backup_session failing_backup([](const std::wstring& folder) {
      return std::make_unique<test_support::failing_backup_observer>(folder, 8, ERROR_DISK_FULL);
    });
    EXPECT_EQ(0, run_real_pass(options.backup, pass, failing_backup));
    EXPECT_TRUE(log.contains("   skipped: no backup of ")) << "no save failed";
  }
  const test_support::machine_snapshot run = test_support::take_machine_snapshot();
  EXPECT_FALSE(e2e::backup_differences(before, run).empty()) << "the pass stopped";

  EXPECT_EQ(0, purgeline_main(std::string("/restore:") + kBackup));
  for (const test_support::machine_change& c :
       e2e::backup_differences(before, test_support::take_machine_snapshot())) {
    ADD_FAILURE() << "removed without its backup: " << c.text();
  }
  seed::stop_suite_processes();
}

}  // namespace
