// Purgeline's backup and restore end to end: the seeded suite is removed by a run with
// "/backup:<folder>", and a "/restore:<folder>" run puts the machine back as it was, apart from
// the processes that were ended and the running state of services.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/files.h"
#include "testing/machine_snapshot.h"
#include "testing/registry_seed.h"
#include "testing/text.h"
#include "tests/backup_comparison.h"
#include "tests/purgeline_process.h"
#include "tests/seed/suite_machine.h"

namespace {

const char kBackup[] = "C:\\purgeline-backup";

class PurgelineBackup : public ::testing::Test {
 protected:
  void SetUp() override {
    seed::stop_suite_processes();
    test_support::remove_forced(test_support::wide(kBackup));
    DeleteFileA(e2e::log_path().c_str());
    options.helpers_folder = e2e::program_folder();
    seed::install_suite(options);
    before = test_support::take_machine_snapshot();
  }
  void TearDown() override { seed::stop_suite_processes(); }

  std::vector<std::string> run_and_log(const std::string& arguments) {
    DeleteFileA(e2e::log_path().c_str());
    e2e::run_purgeline(arguments);
    return e2e::log_texts();
  }

  seed::suite_options options;
  test_support::machine_snapshot before;
};

TEST_F(PurgelineBackup, RestoreGivesBackWhatTheRunRemoved) {
  const std::vector<std::string> run = run_and_log(std::string("/backup:") + kBackup);
  EXPECT_TRUE(e2e::log_has(run, std::string("Backup folder: ") + kBackup));
  EXPECT_TRUE(e2e::log_has(run, "Backup size: "));
  EXPECT_FALSE(e2e::log_has(run, "skipped: no backup"));
  const test_support::machine_snapshot removed = test_support::take_machine_snapshot();
  EXPECT_FALSE(e2e::backup_differences(before, removed).empty()) << "the run removed nothing";

  const std::vector<std::string> restore = run_and_log(std::string("/restore:") + kBackup);
  EXPECT_TRUE(e2e::log_has(restore, "Restore done: "));
  EXPECT_TRUE(
      e2e::log_has(restore, "Ended processes and the running state of services cannot come back"));
  EXPECT_FALSE(e2e::log_has(restore, "Search Corvane info")) << "a restore run runs nothing else";
  EXPECT_TRUE(e2e::log_has(restore, "cannot be restored: end process "));
  for (const test_support::machine_change& c :
       e2e::backup_differences(before, test_support::take_machine_snapshot())) {
    ADD_FAILURE() << "not restored: " << c.text();
  }

  // A second restore finds everything in place.
  const std::vector<std::string> again = run_and_log(std::string("/restore:") + kBackup);
  EXPECT_TRUE(e2e::log_has(again, "Restore done: 0 restored, "))
      << "a second restore changed things";
  for (const std::string& line : again) {
    EXPECT_EQ(std::string::npos, line.find("conflict, kept")) << line;
  }
}

TEST_F(PurgelineBackup, RestoreKeepsWhatWasMadeAgainAndLogsTheConflict) {
  run_and_log(std::string("/backup:") + kBackup);
  ASSERT_TRUE(
      test_support::set_string(HKEY_CURRENT_USER, 0, L"Software\\Corvane", L"Language", L"de"));

  DeleteFileA(e2e::log_path().c_str());
  EXPECT_EQ(1u, e2e::purgeline_exit_code(std::string("/restore:") + kBackup))
      << "a restore that kept a conflict must not report success";
  const std::vector<std::string> restore = e2e::log_texts();
  EXPECT_TRUE(e2e::log_has(restore,
                           "conflict, kept what is there: delete key HKCU\\Software\\Corvane "
                           "(value [Language] differs)"));
  EXPECT_TRUE(e2e::log_has(restore, ": some items are not in place, the restore failed"));
  EXPECT_EQ("\"de\"",
            test_support::value_state(HKEY_CURRENT_USER, 0, L"Software\\Corvane", L"Language"));
  // What was not made again came back.
  EXPECT_TRUE(test_support::key_exists(HKEY_CURRENT_USER, 0, L"Software\\VozadEvuzad2"));
}

}  // namespace
