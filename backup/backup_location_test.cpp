// Where backups go: a folder only administrators and the system may write, made so when it is
// missing and trusted only when it is so already.
#include "backup/backup_location.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "backup/backup_store.h"
#include "testing/files.h"
#include "testing/scratch_folder.h"

namespace {

using replay::backup::backup_error;
using replay::backup::named_folder;
using replay::backup::new_dated_folder;

bool is_folder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(BackupLocation, MakesTheBaseForAdministratorsAndANewDatedFolderEachTime) {
  test_support::scratch_folder scratch(L"backup-place");
  const std::wstring base = scratch.path(L"Purgeline backups");
  const std::wstring first = new_dated_folder(base);
  const std::wstring second = new_dated_folder(base);  // the base made by the first is trusted
  EXPECT_NE(first, second);
  EXPECT_EQ(base + L"\\", first.substr(0, base.size() + 1));
  EXPECT_TRUE(is_folder(first));
  EXPECT_TRUE(is_folder(second));
}

// Lets everybody write in `folder` (Wine keeps the owner of a folder its maker: a folder another
// account made cannot be shown, and this is the right such a folder gives).
DWORD let_everybody_write(const std::wstring& folder) {
  PACL everybody = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return GetLastError();
  }
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorDacl(descriptor, &present, &everybody, &defaulted);
  const DWORD set =
      SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION, nullptr, nullptr, everybody, nullptr);
  LocalFree(descriptor);
  return set;
}

TEST(BackupLocation, AnExistingBaseThatOthersMayWriteIsNotUsed) {
  test_support::scratch_folder scratch(L"backup-place");
  const std::wstring base = scratch.path(L"Purgeline backups");
  test_support::make_folder(base);
  ASSERT_EQ(ERROR_SUCCESS, let_everybody_write(base));
  try {
    new_dated_folder(base);
    ADD_FAILURE() << "a folder everybody may write was used";
  } catch (const backup_error& e) {
    EXPECT_NE(nullptr, std::strstr(e.what(), "others than the administrators may write"))
        << e.what();
  }
  EXPECT_TRUE(test_support::files_in(base).empty());
}

TEST(BackupLocation, ANamedFolderIsMadeWithItsParentsAndMustHoldNoBackupYet) {
  test_support::scratch_folder scratch(L"backup-named");
  const std::wstring folder = scratch.path(L"a\\b\\run 1");
  EXPECT_EQ(folder, named_folder(folder + L"\\"));
  EXPECT_TRUE(is_folder(folder));
  EXPECT_EQ(folder, named_folder(folder));  // existing and empty: fine
  ASSERT_TRUE(test_support::make_file(folder + L"\\index.txt", "1\tend process\t-\tx\t\t-\t"));
  EXPECT_THROW(named_folder(folder), backup_error);
  EXPECT_THROW(named_folder(L"relative\\folder"), backup_error);
  ASSERT_TRUE(test_support::make_file(scratch.path(L"file"), "x"));
  EXPECT_THROW(named_folder(scratch.path(L"file")), backup_error);
  // Wine cannot make Windows links: a link in place of the folder is refused by the same check
  // as a file (it is no plain folder), which tests/backup_e2e covers with a Unix link.
}

// An existing folder that was named must be as trusted as one the backup makes, and empty: a
// folder others may write, or that holds what others put there, could have the backup read,
// changed or mixed with planted files before a restore.
TEST(BackupLocation, AnExistingNamedFolderMustBeEmptyAndWritableByAdministratorsAlone) {
  struct named_case {
    const char* name;
    std::function<void(const std::wstring&)> prepare;
    const char* why;
  };
  const named_case cases[] = {
      {"others may write", [](const std::wstring& f) { let_everybody_write(f); },
       "others than the administrators may write"},
      {"not empty", [](const std::wstring& f) { test_support::make_file(f + L"\\planted.dll"); },
       "not empty"},
      {"holds a folder", [](const std::wstring& f) { test_support::make_folder(f + L"\\files"); },
       "not empty"},
  };
  for (const named_case& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::scratch_folder scratch(L"backup-named");
    const std::wstring folder = scratch.path(L"named");
    ASSERT_EQ(folder, named_folder(folder));  // made by the backup: trusted, empty
    c.prepare(folder);
    try {
      named_folder(folder);
      ADD_FAILURE() << "the folder was used";
    } catch (const backup_error& e) {
      EXPECT_NE(nullptr, std::strstr(e.what(), c.why)) << e.what();
    }
  }
}

}  // namespace
