// Launches of a real helper program through the shell.
#include "cleanup/launch.h"

#include <gtest/gtest.h>

#include "replay/unicode/unicode.h"
#include "testing/child_process.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"

using namespace test_support;
namespace {

using lines = std::vector<std::string>;

std::string launch_line(const std::wstring& program, const std::wstring& parameters) {
  return "launch_and_wait_for_exit_code: \"" + replay::to_narrow(program) + "\" " +
         replay::to_narrow(parameters);
}

struct exit_case {
  const wchar_t* parameters;
  std::uint32_t expected;
};

TEST(LaunchTest, ReturnsTheProgramsExitCode) {
  const std::wstring program = helper_program(L"exit_code_helper");
  const exit_case cases[] = {{L"0", 0}, {L"3", 3}, {L"3010", 3010}, {L"1", 1}};
  for (const exit_case& c : cases) {
    captured_log log;
    EXPECT_EQ(c.expected, launch_and_wait_for_exit_code(program, c.parameters, L""));
    EXPECT_EQ(
        (lines{launch_line(program, c.parameters), "exit_code: " + std::to_string(c.expected)}),
        log.texts());
  }
}

// The helper ends with 90 when it was not asked to start hidden and with 91 when its working
// folder is not the one given.
TEST(LaunchTest, StartsHiddenInTheWorkingFolder) {
  scratch_folder folder;
  const std::wstring with_blank = folder.path() + L"\\with blank";
  ASSERT_TRUE(CreateDirectoryW(with_blank.c_str(), nullptr));
  const std::wstring parameters = L"7 --hidden --folder \"" + with_blank + L"\"";
  EXPECT_EQ(7u, launch_and_wait_for_exit_code(helper_program(L"exit_code_helper"), parameters,
                                              with_blank));
}

TEST(LaunchTest, MissingProgramGivesOne) {
  scratch_folder folder;
  const std::wstring missing = folder.path() + L"\\missing.exe";
  captured_log log;
  EXPECT_EQ(1u, launch_and_wait_for_exit_code(missing, L"/stop", folder.path()));
  EXPECT_EQ((lines{launch_line(missing, L"/stop"), "ShellExecuteEx failed. Error: 2"}),
            log.texts());
}

}  // namespace
