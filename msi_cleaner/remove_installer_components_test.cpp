// Component removal by key-file name on the machine's installer store of the prefix: in the
// ordinary view in a 32-bit prefix, in the 64-bit view under WOW64 in a 64-bit prefix (where a
// decoy in the 32-bit view must stay). These tests change HKLM and run alone.
#include "msi_cleaner/remove_installer_components.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "msi_cleaner/wow64_process.h"
#include "replay/change/planned_changes.h"
#include "testing/change_recorder.h"
#include "testing/failing_changes.h"
#include "testing/log_capture.h"
#include "testing/machine_snapshot.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"
#include "testing/text.h"

namespace {

const std::wstring kUserData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
const std::wstring kSid1 = L"S-1-5-21-9-9-9-1001";
const std::wstring kSid2 = L"S-1-5-21-9-9-9-1002";
const std::string kRemoved =
    "Removed Component  HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
    "Installer\\UserData\\";

std::wstring component(const std::wstring& sid, const std::wstring& name) {
  return kUserData + L"\\" + sid + L"\\Components\\" + name;
}

class RemoveInstallerComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = is_wow64_process() ? KEY_WOW64_64KEY : 0;
    had_user_data_ = test_support::key_exists(HKEY_LOCAL_MACHINE, view_, kUserData);
    remove_seed();
  }

  void TearDown() override {
    remove_seed();
    if (!had_user_data_) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUserData.c_str(), view_, 0);
  }

  void remove_seed() {
    for (REGSAM view : {view_, static_cast<REGSAM>(view_ ? KEY_WOW64_32KEY : 0)}) {
      test_support::delete_tree(HKEY_LOCAL_MACHINE, view, kUserData + L"\\" + kSid1);
      test_support::delete_tree(HKEY_LOCAL_MACHINE, view, kUserData + L"\\" + kSid2);
    }
  }

  void key_path(const std::wstring& sid, const std::wstring& name, const std::wstring& path,
                REGSAM view) {
    test_support::set_string(HKEY_LOCAL_MACHINE, view, component(sid, name),
                             L"E3C7B0D549A216F48B2E194C7A3D0F65", path);
  }

  void seed(REGSAM view) {
    key_path(kSid1, L"RavelinTestK1", L"c:\\program files\\x\\ravelinlauncher.exe.bak", view);
    key_path(kSid1, L"RavelinTestK2", L"C:\\Program Files\\Other\\other.dll", view);
    key_path(kSid1, L"RavelinTestK3", L"C:\\Program Files\\Ravelin\\RavelinLauncher.exe", view);
    test_support::create_key(HKEY_LOCAL_MACHINE, view, component(kSid1, L"RavelinTestK3\\A"));
    test_support::create_key(HKEY_LOCAL_MACHINE, view, component(kSid1, L"RavelinTestK3\\B"));
    key_path(kSid1, L"RavelinTestK4", L"C?\\Program Files\\Ravelin\\RavelinLauncher.exe", view);
    test_support::create_key(HKEY_LOCAL_MACHINE, view, component(kSid1, L"RavelinTestK4\\A\\deep"));
    key_path(kSid2, L"RavelinTestK1", L"C:\\Ravelin\\RAVELINLAUNCHER.EXE", view);
    // Other products' files whose names merely end in the framework's file name.
    key_path(kSid1, L"RavelinTestK5", L"C:\\Program Files\\Other\\MyRavelinLauncher.exe", view);
    key_path(kSid2, L"RavelinTestK5", L"C:/Other/my_ravelinlauncher.exe", view);
    // The name at the start of the key path, or after a "/", is the file itself.
    key_path(kSid2, L"RavelinTestK6", L"RavelinLauncher.exe", view);
    key_path(kSid2, L"RavelinTestK7", L"C:/Ravelin/ravelinlauncher.exe", view);
  }

  bool exists(const std::wstring& sid, const std::wstring& name) {
    return test_support::key_exists(HKEY_LOCAL_MACHINE, view_, component(sid, name));
  }

  REGSAM view_ = 0;
  bool had_user_data_ = false;
};

TEST_F(RemoveInstallerComponentsTest, RemovesComponentsWhoseKeyPathNamesTheFile) {
  seed(view_);
  if (view_ != 0) key_path(kSid1, L"RavelinTestK1", L"C:\\x\\RavelinLauncher.exe", KEY_WOW64_32KEY);
  test_support::captured_log log;

  remove_installer_components_by_file(L"RavelinLauncher.exe");

  const std::vector<std::string> expected = {
      "Search Component RavelinLauncher.exe ",
      kRemoved + "S-1-5-21-9-9-9-1001\\Components\\RavelinTestK1",
      "! ERROR remove component RavelinTestK3 failed: 5",
      "! ERROR remove subkey failed: 5",
      "! ERROR remove component RavelinTestK4 failed: 5",
      kRemoved + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK1",
      kRemoved + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK6",
      kRemoved + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK7"};
  EXPECT_EQ(expected, log.texts());
  EXPECT_FALSE(exists(kSid1, L"RavelinTestK1"));
  EXPECT_FALSE(exists(kSid2, L"RavelinTestK1"));
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK2"));
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK5"));
  EXPECT_TRUE(exists(kSid2, L"RavelinTestK5"));
  // Only the first subkey is handled.
  EXPECT_FALSE(exists(kSid1, L"RavelinTestK3\\A"));
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK3\\B"));
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK4\\A\\deep"));
  if (view_ != 0) {
    EXPECT_TRUE(test_support::key_exists(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY,
                                         component(kSid1, L"RavelinTestK1")));
  }
}

TEST_F(RemoveInstallerComponentsTest, EmptyNameMatchesNothing) {
  seed(view_);
  test_support::captured_log log;
  remove_installer_components_by_file(L"");
  EXPECT_EQ(std::vector<std::string>{"Search Component  "}, log.texts());
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK1"));
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK2"));
}

TEST_F(RemoveInstallerComponentsTest, WithoutUserDataLogsOnlyTheSearch) {
  test_support::scratch_key machine(L"Software\\CorvaneTest\\MsiCleanerEmptyMachine");
  ASSERT_TRUE(machine.redirect(HKEY_LOCAL_MACHINE));
  test_support::captured_log log;
  remove_installer_components_by_file(L"RavelinLauncher.exe");
  EXPECT_EQ(std::vector<std::string>{"Search Component RavelinLauncher.exe "}, log.texts());
}

// A report-only search changes nothing and plans in order what the real search then changes,
// deletions the machine refuses (a key with subkeys left) included as refused; its log says
// what would be removed and what would fail.
TEST_F(RemoveInstallerComponentsTest, AReportOnlySearchPlansExactlyWhatTheRealSearchChanges) {
  seed(view_);
  const test_support::machine_snapshot before = test_support::take_machine_snapshot();
  replay::planned_changes planned;
  std::vector<std::string> planned_log;
  {
    replay::changes_scope scope(planned);
    test_support::captured_log log;
    remove_installer_components_by_file(L"RavelinLauncher.exe");
    planned_log = log.texts();
  }
  for (const auto& change : test_support::compare(before, test_support::take_machine_snapshot())) {
    ADD_FAILURE() << change.text();
  }
  const std::string would_remove =
      "Would remove Component  HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
      "CurrentVersion\\Installer\\UserData\\";
  const std::vector<std::string> expected = {
      "Search Component RavelinLauncher.exe ",
      would_remove + "S-1-5-21-9-9-9-1001\\Components\\RavelinTestK1",
      "! ERROR remove component RavelinTestK3 would fail: 5",
      "! ERROR remove subkey would fail: 5",
      "! ERROR remove component RavelinTestK4 would fail: 5",
      would_remove + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK1",
      would_remove + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK6",
      would_remove + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK7"};
  EXPECT_EQ(expected, planned_log);

  test_support::change_recorder made;
  remove_installer_components_by_file(L"RavelinLauncher.exe");
  EXPECT_EQ(test_support::change_lines(planned.planned()), made.lines());
  ASSERT_EQ(5u, planned.planned().size());  // K1, K3\A, K1, K6, K7
  EXPECT_EQ(view_ != 0 ? replay::registry_view::view_64 : replay::own_registry_view(),
            planned.planned().front().view);
}

// A component deletion that fails is logged as ever and the search goes on.
TEST_F(RemoveInstallerComponentsTest, AFailingComponentDeletionIsLoggedAndTheSearchGoesOn) {
  seed(view_);
  const test_support::failing_changes failing(1, ERROR_ACCESS_DENIED,
                                              replay::change_kind::delete_key);
  test_support::captured_log log;
  remove_installer_components_by_file(L"RavelinLauncher.exe");
  const std::vector<std::string> lines = log.texts();
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ("! ERROR remove component RavelinTestK1 failed: 5", lines[1]);
  EXPECT_EQ(kRemoved + "S-1-5-21-9-9-9-1002\\Components\\RavelinTestK7", lines[7]);
  EXPECT_TRUE(exists(kSid1, L"RavelinTestK1"));
  EXPECT_FALSE(exists(kSid2, L"RavelinTestK1"));
}

}  // namespace
