// Failures the test machine cannot produce on demand, reached through a failing change layer set
// on the real one (testing/failing_changes.h): the pass runs in this process on a private prefix,
// one chosen change fails with a Windows error, and the failure is logged as any other failure of
// that step while the pass goes on to its end. Which change to fail is found by a planned pass over
// the same machine.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "remover/purgeline_main.h"
#include "remover/temp_folder.h"
#include "replay/change/change_layer.h"
#include "replay/change/planned_changes.h"
#include "testing/failing_changes.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/text.h"
#include "tests/seed/product_cfg.h"
#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_machine.h"

namespace {

using replay::change_kind;

bool ends_with_ignoring_case(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() &&
         CompareStringOrdinal(text.c_str() + text.size() - end.size(), static_cast<int>(end.size()),
                              end.c_str(), static_cast<int>(end.size()), TRUE) == CSTR_EQUAL;
}

// The position, counted from 1 among the changes of `kind`, of the first one whose place ends
// with `where_end`, in a pass planned on the machine as it is; 0 when the pass plans none.
int planned_position(change_kind kind, const std::wstring& where_end) {
  replay::planned_changes plan;
  {
    const test_support::captured_log quiet;
    const replay::changes_scope planning(plan);
    purgeline_main("");
  }
  int position = 0;
  for (const replay::change& c : plan.planned()) {
    if (c.kind != kind) continue;
    ++position;
    if (ends_with_ignoring_case(c.where, where_end)) return position;
  }
  return 0;
}

class PurgelineFault : public ::testing::Test {
 protected:
  void TearDown() override { DeleteFileA((log_base_name() + ".log.txt").c_str()); }

  // Runs the real pass with the `kind` change at `where_end` failing with `error`.
  void run_failing(change_kind kind, const std::wstring& where_end, DWORD error) {
    const int position = planned_position(kind, where_end);
    log = std::make_unique<test_support::captured_log>();
    ASSERT_GT(position, 0) << "the pass plans no change at " << test_support::utf8(where_end);
    const test_support::failing_changes failing(position, error, kind);
    EXPECT_EQ(0, purgeline_main(""));
  }

  // The pass went on to its last step after the failure.
  void expect_pass_ran_to_its_end() const {
    EXPECT_TRUE(log->contains("**** Cleaning Installation Database ****"));
  }

  std::string lines() const {
    std::string text;
    for (const std::string& line : log->texts()) text += line + "\n";
    return text;
  }

  // The real pass's lines (the planned pass before it logs elsewhere).
  std::unique_ptr<test_support::captured_log> log;
};

// A Software key that cannot be deleted ends the work on its root, as any registry failure
// there does; the keys before it go, the pass goes on.
TEST_F(PurgelineFault, FailingKeyDeletionKeepsTheKeyAndThePassGoesOn) {
  const std::wstring key = L"Software\\Corvane";
  ASSERT_TRUE(seed::set_string(HKEY_CURRENT_USER, 0, key + L"\\Sub", L"v", L"x"));
  ASSERT_TRUE(seed::set_string(HKEY_CURRENT_USER, 0, L"Software\\CorvaneZ", L"v", L"x"));
  run_failing(change_kind::delete_key, L"\\Software\\Corvane\\Sub", ERROR_ACCESS_DENIED);

  EXPECT_TRUE(seed::key_exists(HKEY_CURRENT_USER, 0, key + L"\\Sub"));
  EXPECT_TRUE(log->contains("HKCU\\Software\\corvane"));
  expect_pass_ran_to_its_end();
  seed::delete_tree(HKEY_CURRENT_USER, 0, key);
  seed::delete_tree(HKEY_CURRENT_USER, 0, L"Software\\CorvaneZ");
}

// A data file that cannot be deleted (a write-protected medium: access denied would be taken for
// a file in use and left to the restart) keeps its folder; the folder's failure is logged and
// the pass goes on.
TEST_F(PurgelineFault, FailingFileDeletionKeepsTheFolderAndThePassGoesOn) {
  const std::wstring folder =
      test_support::wide(seed::current_machine().common_appdata) + L"Corvane";
  ASSERT_TRUE(test_support::make_file(folder + L"\\a.txt"));
  ASSERT_TRUE(test_support::make_file(folder + L"\\b.txt"));
  run_failing(change_kind::delete_file, L"\\Corvane\\a.txt", ERROR_WRITE_PROTECT);

  EXPECT_TRUE(test_support::exists(folder + L"\\a.txt"));
  EXPECT_TRUE(log->contains("Failed to remove folder '" + test_support::ansi(folder))) << lines();
  expect_pass_ran_to_its_end();
  test_support::remove_forced(folder);
}

// product.cfg cannot be written: the save fails as it would on a full disk, the list still
// names CVPRO, so the framework is kept; the pass goes on.
TEST_F(PurgelineFault, FailingProductListWriteKeepsTheListAndTheFramework) {
  const std::string product_cfg = seed::current_machine().product_cfg;
  seed::write_product_cfg(product_cfg, {L"CVPRO", L"TOOLKIT"});
  run_failing(change_kind::write_file, L"\\product.cfg", ERROR_DISK_FULL);

  EXPECT_EQ("CVPRO, TOOLKIT", seed::read_product_cfg(product_cfg));
  EXPECT_TRUE(log->contains("unregister_product_from_toolkit_31x()"));
  EXPECT_FALSE(log->contains("Let's remove Dizavad"));
  expect_pass_ran_to_its_end();
  test_support::remove_forced(test_support::wide(seed::current_machine().common_appdata) +
                              L"Ravelins");
}

}  // namespace
