// Launches of a real helper program through the shell.
#include "cleanup/launch.h"

#include <gtest/gtest.h>

#include <regex>

#include "replay/change/planned_changes.h"
#include "replay/unicode/unicode.h"
#include "testing/change_recorder.h"
#include "testing/child_process.h"
#include "testing/failing_changes.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/process_list.h"
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

// A program that never ends is ended when the bound passes and counts as failed.
TEST(LaunchTest, ProgramThatNeverEndsIsEndedAfterTheBound) {
  scratch_folder folder;
  const std::wstring program = folder.place(L"sleeper", L"bin", L"hangs.exe");
  const program_wait_bounds_for_tests short_bound(2000);
  captured_log log;
  const std::uint32_t result = launch_and_wait_for_exit_code(program, L"600000", folder.path());
  EXPECT_EQ(1u, result);
  EXPECT_EQ((lines{launch_line(program, L"600000"),
                   "The program did not end within 2 seconds: it was ended"}),
            log.texts());
  // Ended: its image is no longer in use.
  EXPECT_TRUE(eventually([&] { return DeleteFileW(program.c_str()) != FALSE; }));
}

// The log lines with the number of processes as "N": a program started from a process without a
// console has a console host besides what it starts itself.
lines with_counts_as_n(lines texts) {
  const std::regex count("(^|Waiting for )[0-9]+ process");
  for (std::string& text : texts) text = std::regex_replace(text, count, "$1N process");
  return texts;
}

struct left_process_case {
  const char* what;
  DWORD runs_for;     // how long the process the program leaves keeps running, in ms
  DWORD left_bound;   // how long the wait for it lasts at most, in ms
  bool folder_free;   // whether the working folder can go after the wait
  lines after_start;  // the log lines after the launch's own
};

// A program that ends while a process it started still runs in its working folder (as the
// console host of a console program started from a windowless one does) leaves that process to
// the caller, which waits for it, at most the bound, so that the folder can go at once. One that
// outlasts the bound is left running, and the log says so. Without a wait the folder is in use.
TEST(LaunchTest, WaitsForTheProcessesTheProgramLeft) {
  const left_process_case cases[] = {
      {"on its way out",
       3000,
       kDefaultLeftProcessesWaitBound,
       true,
       {"exit_code: 0", "Waiting for N process(es) the started programs left to end"}},
      {"outlasting the bound",
       600000,
       1000,
       false,
       {"exit_code: 0", "Waiting for N process(es) the started programs left to end",
        "N process(es) the started programs left still run after 1 seconds: they are left "
        "running"}},
  };
  for (const left_process_case& c : cases) {
    SCOPED_TRACE(c.what);
    scratch_folder folder;
    const std::wstring work = folder.path(L"work");
    const std::wstring program = folder.place(L"exit_code_helper", L"work", L"service.exe");
    const std::wstring left_program = folder.place(L"sleeper", L"bin", L"left_by_service.exe");
    const std::wstring parameters =
        L"0 --leave \"" + left_program + L"\" " + std::to_wstring(c.runs_for);
    captured_log log;
    left_processes left;
    {
      const program_wait_bounds_for_tests bounds(120 * 1000, c.left_bound);
      EXPECT_EQ(0u, launch_and_wait_for_exit_code(program, parameters, work, &left));
      left.wait_for_end();
    }
    const bool removed = DeleteFileW(program.c_str()) && RemoveDirectoryW(work.c_str());
    const DWORD error = removed ? 0 : GetLastError();
    EXPECT_EQ(c.runs_for > c.left_bound, process_running(L"left_by_service.exe"));
    end_processes(L"left_by_service.exe");
    EXPECT_EQ(c.folder_free, removed) << "error " << error;
    lines expected = {launch_line(program, parameters)};
    expected.insert(expected.end(), c.after_start.begin(), c.after_start.end());
    EXPECT_EQ(expected, with_counts_as_n(log.texts()));
  }
}

TEST(LaunchTest, MissingProgramGivesOne) {
  scratch_folder folder;
  const std::wstring missing = folder.path() + L"\\missing.exe";
  captured_log log;
  EXPECT_EQ(1u, launch_and_wait_for_exit_code(missing, L"/stop", folder.path()));
  EXPECT_EQ((lines{launch_line(missing, L"/stop"), "ShellExecuteEx failed. Error: 2"}),
            log.texts());
}

// A report-only run starts nothing: a program that exists is assumed to succeed (0), one that
// does not to fail to start (1), and the planned change says so. The sleeper would still run
// (and the call would have waited for it) had it been started.
TEST(LaunchTest, ReportOnlyRunAssumesTheResultWithoutStartingTheProgram) {
  scratch_folder folder;
  const std::wstring program = folder.place(L"sleeper", L"bin", L"planned_sleeper.exe");
  const std::wstring missing = folder.path() + L"\\missing.exe";
  replay::planned_changes planned;
  captured_log log;
  {
    replay::changes_scope scope(planned);
    EXPECT_EQ(0u, launch_and_wait_for_exit_code(program, L"/stop", folder.path()));
    EXPECT_EQ(1u, launch_and_wait_for_exit_code(missing, L"/uninstall", folder.path()));
  }
  EXPECT_FALSE(process_running(L"planned_sleeper.exe"));
  const std::wstring exists_why =
      L"the program exists and is taken to succeed at what it is asked; what it changes itself "
      L"is not listed";
  const std::wstring missing_why = L"the program does not exist, so it cannot be started";
  EXPECT_EQ((std::vector<std::wstring>{
                L"run program\t" + program + L"\t/stop; assumed exit code 0: " + exists_why,
                L"run program\t" + missing + L"\t/uninstall; assumed exit code 1: " + missing_why}),
            change_lines(planned.planned()));
  EXPECT_EQ(
      (lines{launch_line(program, L"/stop"),
             "exit_code assumed: 0 (assumed exit code 0: " + replay::to_narrow(exists_why) + ")",
             launch_line(missing, L"/uninstall"),
             "exit_code assumed: 1 (assumed exit code 1: " + replay::to_narrow(missing_why) + ")"}),
      log.texts());
}

// The real run names the same change, and a start the layer refuses is logged as a failed start.
TEST(LaunchTest, TheStartIsAChangeOfTheRealLayer) {
  const std::wstring program = helper_program(L"exit_code_helper");
  change_recorder recorder;
  EXPECT_EQ(3u, launch_and_wait_for_exit_code(program, L"3", L""));
  captured_log log;
  {
    const test_support::failing_changes failing(1, ERROR_ACCESS_DENIED,
                                                replay::change_kind::run_program);
    EXPECT_EQ(1u, launch_and_wait_for_exit_code(program, L"4", L""));
  }
  EXPECT_EQ((std::vector<std::wstring>{L"run program\t" + program + L"\t3"}),
            change_lines(recorder.changes()));
  EXPECT_EQ((lines{launch_line(program, L"4"), "ShellExecuteEx failed. Error: 5"}), log.texts());
}

}  // namespace
