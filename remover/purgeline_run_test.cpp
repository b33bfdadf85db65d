// Runs the real Purgeline.exe as a separate process and reads the log it leaves in the
// temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "corvane_version.h"
#include "remover/temp_folder.h"
#include "testing/child_process.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/text.h"

namespace {

std::string log_path() {
  return log_base_name() + ".log.txt";
}

// Starts Purgeline with exactly this command-line text after the program name.
DWORD run_purgeline(const std::string& arguments) {
  const test_support::child_process purgeline(test_support::program_folder() + L"Purgeline.exe",
                                              test_support::wide(arguments));
  if (!purgeline.started()) {
    ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
    return 0xFFFFFFFF;
  }
  return purgeline.wait_for_exit(INFINITE);
}

// The log's lines without their CRLF; the byte order mark is checked and dropped.
std::vector<std::string> log_lines() {
  std::string text = test_support::read_file(log_path());
  EXPECT_EQ(0u, text.rfind("\xEF\xBB\xBF", 0)) << "log must start with a byte order mark";
  text.erase(0, 3);
  EXPECT_EQ(std::string::npos, text.find("\xEF\xBB\xBF")) << "only one byte order mark";
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find("\r\n", start);
    EXPECT_NE(std::string::npos, end) << "every line ends in CRLF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

const std::regex& line_format() {
  static const std::regex format(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} [# +!>@]  .*)");
  return format;
}

std::vector<std::string> command_line_lines(const std::vector<std::string>& lines) {
  std::vector<std::string> found;
  for (const std::string& line : lines) {
    if (line.size() > 23 && line.compare(23, 11, "BrandName: ") == 0) found.push_back(line);
  }
  return found;
}

struct run_case {
  const char* arguments;
  const char* logged;  // text of the command-line line; null when none is written
};

class PurgelineRunTest : public ::testing::TestWithParam<run_case> {
 protected:
  void SetUp() override { DeleteFileA(log_path().c_str()); }
  void TearDown() override { DeleteFileA(log_path().c_str()); }
};

TEST_P(PurgelineRunTest, LogsTheCommandLineAsRead) {
  const run_case& c = GetParam();
  EXPECT_EQ(0u, run_purgeline(c.arguments));
  const std::vector<std::string> lines = log_lines();
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, line_format())) << line;
  }
  const std::vector<std::string> logged = command_line_lines(lines);
  if (!c.logged) {
    EXPECT_TRUE(logged.empty());
    return;
  }
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(std::string("    ") + c.logged, logged[0].substr(19));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, PurgelineRunTest,
    ::testing::Values(
        run_case{"", nullptr},
        run_case{"Acme", "BrandName: Acme; SuiteName: Acme; ServiceName: Acme."},
        run_case{"Acme Suite2", "BrandName: Acme; SuiteName: Suite2; ServiceName: Suite2."},
        run_case{"Acme Big Suite Svc.exe",
                 "BrandName: Acme; SuiteName: Big Suite; ServiceName: Svc.exe."},
        run_case{"Acme  Svc.exe", "BrandName: Acme; SuiteName: ; ServiceName: Svc.exe."},
        run_case{"Acme Big Suite ", "BrandName: Acme; SuiteName: Big Suite; ServiceName: ."}));

TEST(PurgelineRun, AppendsToAnExistingLogWithoutASecondMark) {
  DeleteFileA(log_path().c_str());
  run_purgeline("First");
  run_purgeline("Second");
  const std::vector<std::string> logged = command_line_lines(log_lines());
  ASSERT_EQ(2u, logged.size());
  EXPECT_NE(std::string::npos, logged[0].find("BrandName: First;"));
  EXPECT_NE(std::string::npos, logged[1].find("BrandName: Second;"));
  DeleteFileA(log_path().c_str());
}

// The first line of a run names the build that wrote the lines after it.
TEST(PurgelineRun, OpensItsLinesWithVersionAndCommit) {
  DeleteFileA(log_path().c_str());
  run_purgeline("Acme");
  const std::vector<std::string> lines = log_lines();
  ASSERT_LE(2u, lines.size());
  EXPECT_EQ(
      std::string("    Purgeline ") + CORVANE_VERSION_TEXT + " (commit " + CORVANE_COMMIT + ")",
      lines[0].substr(19));
  EXPECT_EQ("    **** Search Corvane info ****", lines[1].substr(19));
  DeleteFileA(log_path().c_str());
}

}  // namespace
