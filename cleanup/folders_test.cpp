#include "cleanup/folders.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>

#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;
using lines = std::vector<std::string>;

class FolderTest : public testing::Test {
 protected:
  scratch_folder folder_{L"folders"};
  const std::wstring wroot_ = folder_.path();
  const std::string root_ = replay::to_narrow(wroot_);
};

TEST_F(FolderTest, RemoveFolderOnMissingFolderLogsOnlyThatItDoesNotExist) {
  captured_log log;
  EXPECT_FALSE(remove_folder(root_ + "\\missing"));
  EXPECT_EQ(lines{"Folder to remove '" + root_ + "\\missing' does NOT EXIST !"}, log.texts());
}

TEST_F(FolderTest, RemoveFolderRemovesEverythingInIt) {
  make_file(wroot_ + L"\\p\\a.txt");
  make_file(wroot_ + L"\\p\\sub\\b.txt");
  captured_log log;
  EXPECT_TRUE(remove_folder(root_ + "\\p"));
  EXPECT_EQ(lines{". Folder '" + root_ + "\\p' was removed"}, log.texts());
  EXPECT_FALSE(exists(wroot_ + L"\\p"));
}

TEST_F(FolderTest, RemoveFolderRemovesReadOnlyFiles) {
  make_file(wroot_ + L"\\p\\sub\\locked.txt");
  set_read_only(wroot_ + L"\\p\\sub\\locked.txt", true);
  captured_log log;
  EXPECT_TRUE(remove_folder(root_ + "\\p"));
  EXPECT_EQ(lines{". Folder '" + root_ + "\\p' was removed"}, log.texts());
  EXPECT_FALSE(exists(wroot_ + L"\\p"));
}

TEST_F(FolderTest, RemoveFolderThatCannotGoReportsAndFails) {
  make_file(wroot_ + L"\\p\\kept.txt");
  const replay::scoped_handle kept = open_shared(wroot_ + L"\\p\\kept.txt");
  ASSERT_TRUE(kept);
  captured_log log;
  EXPECT_FALSE(remove_folder(root_ + "\\p"));
  ASSERT_EQ(2u, log.lines().size());
  EXPECT_EQ(3, log.lines()[0].level);
  EXPECT_NE(std::string::npos, log.lines()[0].text.find(" exception: "));
  EXPECT_NE(std::string::npos, log.lines()[0].text.find("\\p"));
  EXPECT_EQ(1, log.lines()[1].level);
  EXPECT_EQ("! Failed to remove folder '" + root_ + "\\p' !", log.lines()[1].text);
  EXPECT_TRUE(exists(wroot_ + L"\\p"));
}

TEST_F(FolderTest, RemoveEmptyFolderCases) {
  make_folder(wroot_ + L"\\empty");
  make_file(wroot_ + L"\\full\\a.txt");
  captured_log log;
  remove_empty_folder(root_ + "\\missing");
  remove_empty_folder(root_ + "\\full");
  remove_empty_folder(root_ + "\\empty");
  EXPECT_EQ((lines{"Folder to remove '" + root_ + "\\missing' does NOT EXIST !",
                   "Do NOT removing folder '" + root_ + "\\full', as it is not empty !",
                   "Removed empty folder '" + root_ + "\\empty' !"}),
            log.texts());
  EXPECT_TRUE(exists(wroot_ + L"\\full\\a.txt"));
  EXPECT_FALSE(exists(wroot_ + L"\\empty"));
}

TEST_F(FolderTest, RemoveEmptyFolderHeldOpenLogsTheError) {
  make_folder(wroot_ + L"\\held");
  replay::scoped_handle held(CreateFileW((wroot_ + L"\\held").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(held);
  captured_log log;
  remove_empty_folder(root_ + "\\held");
  held.reset();
  ASSERT_EQ(1u, log.lines().size());
  EXPECT_EQ(0u, log.lines()[0].text.find("Failed to remove empty folder '" + root_ +
                                         "\\held', GetLastError()="))
      << log.lines()[0].text;
}

// A folder that is not empty says so even while a process holds it open without letting others
// delete it (a program working in it, say).
TEST_F(FolderTest, RemoveEmptyFolderHeldOpenAndNotEmptySaysNotEmpty) {
  make_file(wroot_ + L"\\held\\a.txt");
  const replay::scoped_handle held(CreateFileW((wroot_ + L"\\held").c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(held);
  captured_log log;
  remove_empty_folder(root_ + "\\held");
  EXPECT_EQ(lines{"Do NOT removing folder '" + root_ + "\\held', as it is not empty !"},
            log.texts());
  EXPECT_TRUE(exists(wroot_ + L"\\held\\a.txt"));
}

// Removals built from a shell folder: the same lines as the plain ones; a path that does not
// lie below the shell folder (or climbs out of it with "..") is refused and nothing goes.
TEST_F(FolderTest, RemovalBelowAShellFolder) {
  make_file(wroot_ + L"\\base\\p\\sub\\a.txt");
  make_folder(wroot_ + L"\\base\\empty");
  make_file(wroot_ + L"\\base\\full\\a.txt");
  make_file(wroot_ + L"\\outside\\keep.txt");
  make_file(wroot_ + L"\\base2\\keep.txt");
  const std::string base = root_ + "\\base\\";
  captured_log log;
  EXPECT_TRUE(remove_folder_below(base, base + "p"));
  EXPECT_FALSE(remove_folder_below(base, base + "missing"));
  remove_empty_folder_below(base, base + "full");
  remove_empty_folder_below(base, base + "empty\\");
  EXPECT_EQ((lines{". Folder '" + base + "p' was removed",
                   "Folder to remove '" + base + "missing' does NOT EXIST !",
                   "Do NOT removing folder '" + base + "full', as it is not empty !",
                   "Removed empty folder '" + base + "empty\\' !"}),
            log.texts());
  EXPECT_FALSE(exists(wroot_ + L"\\base\\p"));
  EXPECT_FALSE(exists(wroot_ + L"\\base\\empty"));
  EXPECT_TRUE(exists(wroot_ + L"\\base\\full\\a.txt"));
  for (const std::string& outside :
       {root_ + "\\outside", base + "..\\outside", root_ + "\\base2", base}) {
    EXPECT_FALSE(remove_folder_below(base, outside)) << outside;
    EXPECT_TRUE(log.contains("! Failed to remove folder '" + outside + "' !")) << outside;
  }
  EXPECT_TRUE(exists(wroot_ + L"\\outside\\keep.txt"));
  EXPECT_TRUE(exists(wroot_ + L"\\base2\\keep.txt"));
  EXPECT_TRUE(exists(wroot_ + L"\\base\\full\\a.txt"));
}

// The common application-data folder is machine-wide: the names are unique to this test.
class GuidFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    common_ = shell_folder(CSIDL_COMMON_APPDATA) + L"\\";
    make_file(common_ + L"{cvtest-1234}\\Corvane_Client.msi");
    make_file(common_ + L"{cvtest-1234}\\sub\\other.txt");
    make_file(common_ + L"{cvtest-5678}\\other.txt");
    make_file(common_ + L"{cvtest-9abc}\\Corvane_Client.d\\inner.txt");  // a folder, not a file
    make_file(common_ + L"cvtest-Corvane\\Corvane_Client.msi");
  }
  void TearDown() override {
    for (const wchar_t* name :
         {L"{cvtest-1234}", L"{cvtest-5678}", L"{cvtest-9abc}", L"cvtest-Corvane"}) {
      remove_forced(common_ + name);
    }
  }
  std::wstring common_;
};

TEST_F(GuidFolderTest, RemovesOnlyBraceFoldersHoldingAClientFile) {
  const std::string common = replay::to_narrow(common_);
  captured_log log;
  remove_guid_folders_with_client_files();
  const std::vector<std::string> texts = log.texts();
  auto logged = [&](const std::string& line) {
    return std::find(texts.begin(), texts.end(), line) != texts.end();
  };
  EXPECT_TRUE(logged(". Folder '" + common + "{cvtest-1234}' was removed"));
  EXPECT_TRUE(logged(common + "\\{cvtest-5678} - ignore folder"));
  EXPECT_TRUE(logged(common + "\\{cvtest-9abc} - ignore folder"));
  EXPECT_FALSE(log.contains("cvtest-Corvane"));
  EXPECT_FALSE(exists(common_ + L"{cvtest-1234}"));
  EXPECT_TRUE(exists(common_ + L"{cvtest-5678}\\other.txt"));
  EXPECT_TRUE(exists(common_ + L"{cvtest-9abc}\\Corvane_Client.d\\inner.txt"));
  EXPECT_TRUE(exists(common_ + L"cvtest-Corvane\\Corvane_Client.msi"));
}

}  // namespace
