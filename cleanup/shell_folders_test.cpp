#include "cleanup/shell_folders.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "replay/exception/exception.h"

namespace {

std::string shell_path(int csidl) {
  char buffer[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

struct shell_folder_case {
  std::string (*function)();
  int csidl;
};

class ShellFolderTest : public testing::TestWithParam<shell_folder_case> {};

TEST_P(ShellFolderTest, IsTheShellPathWithOneBackslashAppended) {
  const std::string expected = shell_path(GetParam().csidl);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected + "\\", GetParam().function());
  EXPECT_EQ(expected + "\\", folder_path(GetParam().csidl));
}

INSTANTIATE_TEST_SUITE_P(
    AllFolders, ShellFolderTest,
    testing::Values(shell_folder_case{profile_folder, CSIDL_PROFILE},
                    shell_folder_case{appdata_folder, CSIDL_APPDATA},
                    shell_folder_case{common_appdata_folder, CSIDL_COMMON_APPDATA},
                    shell_folder_case{program_files_folder, CSIDL_PROGRAM_FILES}));

TEST(ShellFolderPathTest, CommonAppdataIsFollowedDirectlyByAName) {
  EXPECT_EQ(shell_path(CSIDL_COMMON_APPDATA) + "\\Corvane", common_appdata_folder() + "Corvane");
}

TEST(ShellFolderPathTest, UnknownFolderThrowsWithTheCsidl) {
  try {
    folder_path(0xFF);
    FAIL() << "no exception";
  } catch (const replay::exception& e) {
    EXPECT_EQ("Error in ::SHGetFolderPath( 0, CSIDL=255 ....", e.message());
  }
}

}  // namespace
