// The per-profile removals, on profiles of several users made in the prefix's profiles folder.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>

#include "cleanup/folders.h"
#include "replay/change/change_layer.h"
#include "replay/change/planned_changes.h"
#include "replay/unicode/unicode.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;
using lines = std::vector<std::string>;

const wchar_t kVirtualStore[] = L"\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins";
const wchar_t kRoaming[] = L"\\AppData\\Roaming\\CvTestRavelins";

std::string portable(std::wstring path) {
  std::replace(path.begin(), path.end(), L'\\', L'/');
  return replay::to_narrow(path, CP_UTF8);
}

class UserProfilesTest : public testing::Test {
 protected:
  void SetUp() override {
    profiles_ = profiles_folder();
    user1_ = profiles_ + L"\\cvtest_user1";
    user2_ = profiles_ + L"\\cvtest_user2";
    current_ = shell_folder(CSIDL_PROFILE);
  }
  void TearDown() override {
    remove_forced(user1_);
    remove_forced(user2_);
    remove_forced(current_ + kVirtualStore);
    remove_forced(current_ + kRoaming);
  }
  std::wstring profiles_, user1_, user2_, current_;
};

TEST_F(UserProfilesTest, VirtualStoreGoesInEveryProfile) {
  make_file(user1_ + kVirtualStore + L"\\a.txt");
  make_file(user1_ + L"\\AppData\\Local\\VirtualStore\\ProgramData\\Other\\keep.txt");
  make_file(user2_ + kVirtualStore + L"\\a.txt");
  make_file(user2_ + kVirtualStore + L"\\sub\\b.txt");
  make_file(current_ + kVirtualStore + L"\\c.txt");
  captured_log log;
  EXPECT_EQ(8, rmove_virtual_store());
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(exists(user1_ + kVirtualStore));
  EXPECT_FALSE(exists(user2_ + kVirtualStore));
  EXPECT_FALSE(exists(current_ + kVirtualStore));
  EXPECT_TRUE(exists(user1_ + L"\\AppData\\Local\\VirtualStore\\ProgramData\\Other\\keep.txt"));
  EXPECT_EQ(0, rmove_virtual_store());
}

TEST_F(UserProfilesTest, VirtualStoreFailureInOneProfileLetsTheOthersGo) {
  make_file(user1_ + kVirtualStore + L"\\kept.txt");
  const replay::scoped_handle kept = open_shared(user1_ + kVirtualStore + L"\\kept.txt");
  make_file(user2_ + kVirtualStore + L"\\a.txt");
  captured_log log;
  EXPECT_EQ(2, rmove_virtual_store());
  ASSERT_EQ(1u, log.lines().size());
  EXPECT_EQ("Error occured in rmove_virtual_store(), System Error Code = 145", log.lines()[0].text);
  EXPECT_EQ(1, log.lines()[0].level);
  EXPECT_TRUE(exists(user1_ + kVirtualStore));
  EXPECT_FALSE(exists(user2_ + kVirtualStore));
}

TEST_F(UserProfilesTest, AppDataFolderGoesInEveryProfile) {
  make_file(user1_ + kRoaming + L"\\a.txt");
  make_file(user1_ + L"\\AppData\\Roaming\\Other\\keep.txt");
  make_file(user2_ + kRoaming + L"\\sub\\b.txt");
  make_file(current_ + kRoaming + L"\\c.txt");
  captured_log log;
  remove_dir_in_userappdata_for_allprofiles("AppData\\Roaming\\CvTestRavelins");
  std::vector<std::string> texts = log.texts();
  std::sort(texts.begin(), texts.end());
  std::vector<std::string> expected = {"removing " + portable(user1_ + kRoaming),
                                       "removing " + portable(user2_ + kRoaming),
                                       "removing " + portable(current_ + kRoaming)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, texts);
  EXPECT_FALSE(exists(user1_ + kRoaming));
  EXPECT_FALSE(exists(user2_ + kRoaming));
  EXPECT_FALSE(exists(current_ + kRoaming));
  EXPECT_TRUE(exists(user1_ + L"\\AppData\\Roaming\\Other\\keep.txt"));
}

// In a report-only run the folders of every profile are planned, not removed, the lines say
// so, and a second pass finds nothing left.
TEST_F(UserProfilesTest, ReportOnlyRunPlansTheRemovalsInEveryProfile) {
  make_file(user1_ + kRoaming + L"\\a.txt");
  make_file(user2_ + kVirtualStore + L"\\sub\\b.txt");
  replay::planned_changes plan;
  const replay::changes_scope scope(plan);
  captured_log log;
  remove_dir_in_userappdata_for_allprofiles("AppData\\Roaming\\CvTestRavelins");
  EXPECT_EQ(3, rmove_virtual_store());
  EXPECT_EQ(lines{"would remove " + portable(user1_ + kRoaming)}, log.texts());
  EXPECT_EQ(5u, plan.planned().size());
  EXPECT_TRUE(exists(user1_ + kRoaming + L"\\a.txt"));
  EXPECT_TRUE(exists(user2_ + kVirtualStore + L"\\sub\\b.txt"));
  EXPECT_EQ(0, rmove_virtual_store());
  remove_dir_in_userappdata_for_allprofiles("AppData\\Roaming\\CvTestRavelins");
  EXPECT_EQ(1u, log.texts().size());
  EXPECT_EQ(5u, plan.planned().size());
}

TEST_F(UserProfilesTest, AppDataFolderFailureIsLoggedAndTheWalkGoesOn) {
  make_file(user1_ + kRoaming + L"\\kept.txt");
  const replay::scoped_handle kept = open_shared(user1_ + kRoaming + L"\\kept.txt");
  make_file(user2_ + kRoaming + L"\\a.txt");
  captured_log log;
  remove_dir_in_userappdata_for_allprofiles(std::string("AppData/Roaming/CvTestRavelins"));
  int errors = 0;
  for (const captured_line& line : log.lines()) {
    if (line.level != 3) continue;
    ++errors;
    EXPECT_EQ(
        "Error occured in remove_dir_in_userappdata_for_allprofiles(), System Error Code = 145",
        line.text);
  }
  EXPECT_EQ(1, errors);
  EXPECT_TRUE(log.contains("removing " + portable(user1_) + "/AppData/Roaming/CvTestRavelins"));
  EXPECT_TRUE(exists(user1_ + kRoaming));
  EXPECT_FALSE(exists(user2_ + kRoaming));
}

TEST_F(UserProfilesTest, EmptyRelativePathIsRefused) {
  make_file(user1_ + L"\\keep.txt");
  captured_log log;
  remove_dir_in_userappdata_for_allprofiles(std::string());
  remove_dir_in_userappdata_for_allprofiles(std::wstring());
  const std::string refusal =
      "empty parameter is not allowed for remove_dir_in_userappdata_for_allprofiles()";
  EXPECT_EQ((std::vector<std::string>{refusal, refusal}), log.texts());
  EXPECT_TRUE(exists(user1_ + L"\\keep.txt"));
}

TEST_F(UserProfilesTest, WideRelativePathWithoutAnsiForm) {
  const std::wstring relative = L"AppData\\Roaming\\\x0420\x0430\x0432\\";
  make_file(user1_ + L"\\" + relative + L"a.txt");
  captured_log log;
  remove_dir_in_userappdata_for_allprofiles(relative);
  EXPECT_EQ((std::vector<std::string>{"removing " + portable(user1_ + L"\\" + relative)}),
            log.texts());
  EXPECT_FALSE(exists(user1_ + L"\\AppData\\Roaming\\\x0420\x0430\x0432"));
  EXPECT_TRUE(exists(user1_ + L"\\AppData\\Roaming"));
}

}  // namespace
