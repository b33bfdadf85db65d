#include "remover/start_menu.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "replay/unicode/unicode.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;

using lines = std::vector<std::string>;

const wchar_t kShellFolders[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Points both Start-menu Programs folders into a scratch folder; restores them afterwards.
class StartMenuTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_common_ = saved(HKEY_LOCAL_MACHINE, L"Common Programs");
    saved_user_ = saved(HKEY_CURRENT_USER, L"Programs");
    common_ = folder_.path(L"common");
    user_ = folder_.path(L"user");
    set_string(HKEY_LOCAL_MACHINE, 0, kShellFolders, L"Common Programs", common_);
    set_string(HKEY_CURRENT_USER, 0, kShellFolders, L"Programs", user_);
    common_narrow_ = replay::to_narrow(common_);
    user_narrow_ = replay::to_narrow(user_);
  }
  void TearDown() override {
    restore(HKEY_LOCAL_MACHINE, L"Common Programs", saved_common_);
    restore(HKEY_CURRENT_USER, L"Programs", saved_user_);
  }
  static std::pair<bool, std::wstring> saved(HKEY root, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    const bool present = RegGetValueW(root, kShellFolders, name, RRF_RT_REG_SZ, nullptr, buffer,
                                      &size) == ERROR_SUCCESS;
    return {present, buffer};
  }
  static void restore(HKEY root, const wchar_t* name, const std::pair<bool, std::wstring>& value) {
    if (value.first) {
      set_string(root, 0, kShellFolders, name, value.second);
    } else {
      delete_value(root, 0, kShellFolders, name);
    }
  }
  scratch_folder folder_{L"start_menu"};
  std::pair<bool, std::wstring> saved_common_, saved_user_;
  std::wstring common_, user_;
  std::string common_narrow_, user_narrow_;
};

TEST_F(StartMenuTest, RemovesTheProductFoldersOfBothStartMenus) {
  make_file(common_ + L"\\Ravelins\\Corvane\\a.lnk");
  make_file(common_ + L"\\Corvane\\b.lnk");
  make_file(common_ + L"\\Other\\keep.lnk");
  make_file(user_ + L"\\Ravelins\\Corvane\\c.lnk");
  make_file(user_ + L"\\Ravelins\\Other\\keep.lnk");
  captured_log log;
  remove_start_menu_shortcuts("Corvane", "Ravelins");
  const std::string& c = common_narrow_;
  const std::string& u = user_narrow_;
  EXPECT_EQ((lines{"", "**** Removing shortcuts in All Users' Start Menu ****",
                   ". Folder '" + c + "\\Ravelins\\Corvane' was removed",
                   ". Folder '" + c + "\\Corvane' was removed",
                   "Removed empty folder '" + c + "\\Ravelins' !",
                   "**** Removing shortcuts in Current User's Start Menu ****",
                   ". Folder '" + u + "\\Ravelins\\Corvane' was removed",
                   "Folder to remove '" + u + "\\Corvane' does NOT EXIST !",
                   "Do NOT removing folder '" + u + "\\Ravelins', as it is not empty !", ""}),
            log.texts());
  EXPECT_FALSE(exists(common_ + L"\\Ravelins"));
  EXPECT_FALSE(exists(common_ + L"\\Corvane"));
  EXPECT_TRUE(exists(common_ + L"\\Other\\keep.lnk"));
  EXPECT_FALSE(exists(user_ + L"\\Ravelins\\Corvane"));
  EXPECT_TRUE(exists(user_ + L"\\Ravelins\\Other\\keep.lnk"));
}

TEST_F(StartMenuTest, MissingShellFolderValueSkipsThatScope) {
  delete_value(HKEY_LOCAL_MACHINE, 0, kShellFolders, L"Common Programs");
  make_file(user_ + L"\\Corvane\\a.lnk");
  captured_log log;
  remove_start_menu_shortcuts("Corvane", "Ravelins");
  const lines texts = log.texts();
  ASSERT_EQ(8u, texts.size());
  EXPECT_EQ("Start menu folder was NOT removed, may be because it does not exist", texts[2]);
  EXPECT_EQ("**** Removing shortcuts in Current User's Start Menu ****", texts[3]);
  EXPECT_EQ(". Folder '" + user_narrow_ + "\\Corvane' was removed", texts[5]);
}

TEST_F(StartMenuTest, EmptyDisplayNameNeverNamesTheBrandOrProgramsFolder) {
  make_file(common_ + L"\\Ravelins\\Other\\keep.lnk");
  make_file(user_ + L"\\keep.lnk");
  captured_log log;
  remove_start_menu_shortcuts("", "Ravelins");
  EXPECT_EQ(
      (lines{"", "**** Removing shortcuts in All Users' Start Menu ****",
             "Do NOT removing folder '" + common_narrow_ + "\\Ravelins', as it is not empty !",
             "**** Removing shortcuts in Current User's Start Menu ****",
             "Folder to remove '" + user_narrow_ + "\\Ravelins' does NOT EXIST !", ""}),
      log.texts());
  EXPECT_TRUE(exists(common_ + L"\\Ravelins\\Other\\keep.lnk"));
  EXPECT_TRUE(exists(user_ + L"\\keep.lnk"));
}

// A display name from the registry (or a brand from the command line) that is not one plain
// folder name would widen a removal to the Programs folder, the Start Menu or beyond: every
// removal that uses it is skipped and named in the log; the removals that do not use it still
// run.
TEST_F(StartMenuTest, NamesThatAreNotPlainFolderNamesWidenNoRemoval) {
  struct name_case {
    const char* display;
    const char* brand;
    bool display_plain;
    bool brand_plain;
  } cases[] = {
      {".", "Ravelins", false, true},
      {"..", "Ravelins", false, true},
      {"Corvane\\..\\..", "Ravelins", false, true},
      {"..\\Corvane", "Ravelins", false, true},
      {"*", "Ravelins", false, true},
      {"Corvane ", "Ravelins", false, true},
      {"Corvane", "..", true, false},
      {"Corvane", ".", true, false},
      {".", "..", false, false},
  };
  for (const name_case& c : cases) {
    SCOPED_TRACE(std::string(c.display) + " / " + c.brand);
    make_file(common_ + L"\\keep.lnk");
    make_file(common_ + L"\\Ravelins\\Other\\keep.lnk");
    make_file(common_ + L"\\Ravelins\\Corvane\\a.lnk");
    make_file(common_ + L"\\Corvane\\b.lnk");
    make_file(user_ + L"\\keep.lnk");
    make_file(user_ + L"\\..\\outside.lnk");
    captured_log log;
    remove_start_menu_shortcuts(c.display, c.brand);
    EXPECT_TRUE(exists(common_ + L"\\keep.lnk"));
    EXPECT_TRUE(exists(common_ + L"\\Ravelins\\Other\\keep.lnk"));
    EXPECT_TRUE(exists(user_ + L"\\keep.lnk"));
    EXPECT_TRUE(exists(user_ + L"\\..\\outside.lnk"));
    // The suite's folders that a plain name still names go.
    EXPECT_EQ(c.display_plain, !exists(common_ + L"\\Corvane"));
    EXPECT_TRUE(exists(common_ + L"\\Ravelins\\Corvane\\a.lnk"));
    const std::string display_line = "ATTENTION: display name '" + std::string(c.display) +
                                     "' is not a plain folder name: the Start-menu folders "
                                     "named by it are kept";
    const std::string brand_line = "ATTENTION: brand name '" + std::string(c.brand) +
                                   "' is not a plain folder name: the Start-menu folders named "
                                   "by it are kept";
    const lines texts = log.texts();
    EXPECT_EQ(c.display_plain ? 0 : 2, std::count(texts.begin(), texts.end(), display_line));
    EXPECT_EQ(c.brand_plain ? 0 : 2, std::count(texts.begin(), texts.end(), brand_line));
    remove_forced(common_);
    remove_forced(user_);
    remove_forced(user_ + L"\\..\\outside.lnk");
  }
}

}  // namespace
