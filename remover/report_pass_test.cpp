// A report-only pass in this process: "/report" plans every change instead of making it, marks
// the log's first line, and writes the report of the planned changes in the order the real run
// would make them. It cleans (or would clean) the prefix's machine: SERIAL, a prefix of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "remover/purgeline_main.h"
#include "remover/report_file.h"
#include "remover/temp_folder.h"
#include "replay/change/change_layer.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/registry_seed.h"
#include "testing/text.h"

namespace {

class ReportPass : public ::testing::Test {
 protected:
  void TearDown() override {
    test_support::delete_tree(HKEY_CURRENT_USER, 0, L"Software\\Corvane");
    DeleteFileA(report_path().c_str());
    DeleteFileA((log_base_name() + ".log.txt").c_str());
  }
};

TEST_F(ReportPass, PlansTheDeletionsReportsThemInOrderAndChangesNothing) {
  ASSERT_TRUE(
      test_support::set_string(HKEY_CURRENT_USER, 0, L"Software\\Corvane\\Sub", L"v", L"x"));
  DeleteFileA(report_path().c_str());
  std::vector<std::string> lines;
  {
    const test_support::captured_log log;
    EXPECT_EQ(0, purgeline_main("/report Acme Suite Svc.exe"));
    lines = log.texts();
  }
  EXPECT_FALSE(replay::changes().planning()) << "the real layer is back after the run";
  EXPECT_TRUE(test_support::key_exists(HKEY_CURRENT_USER, 0, L"Software\\Corvane\\Sub"));

  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(0u, lines[0].find("Purgeline ")) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find("report-only run: nothing is changed")) << lines[0];
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                   "BrandName: Acme; SuiteName: Suite; ServiceName: Svc.exe."))
      << "the rest of the line is the usual command line";

  const std::string report = test_support::read_file(report_path());
  EXPECT_EQ(0u, report.find("\xEF\xBB\xBFPurgeline ")) << report.substr(0, 80);
  EXPECT_NE(std::string::npos,
            report.find("BrandName: Acme; SuiteName: Suite; ServiceName: Svc.exe.\r\n"));
  const std::string::size_type sub = report.find("\r\ndelete key\tHKCU\\Software\\Corvane\\Sub");
  const std::string::size_type parent = report.find("\r\ndelete key\tHKCU\\Software\\Corvane (");
  EXPECT_NE(std::string::npos, sub) << report;
  EXPECT_NE(std::string::npos, parent) << report;
  EXPECT_LT(sub, parent) << "child keys first, as the real run deletes them";
  EXPECT_NE(std::string::npos, report.find("\r\ndelete key: "));
}

// A normal run's first line is the version line alone, and the report of an earlier
// report-only run is left as it was.
TEST_F(ReportPass, ANormalRunIsNotMarkedAndWritesNoReport) {
  ASSERT_TRUE(test_support::make_file(test_support::wide(report_path()), "earlier"));
  std::vector<std::string> lines;
  {
    const test_support::captured_log log;
    EXPECT_EQ(0, purgeline_main(""));
    lines = log.texts();
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(std::string::npos, lines[0].find("report-only")) << lines[0];
  EXPECT_EQ("earlier", test_support::read_file(report_path()));
}

// A report-only run that names a backup, in either order of the words, says where a real run
// would save it and saves nothing; a restore, which changes the machine, does not run at all.
TEST_F(ReportPass, ABackupIsNamedButNotMadeAndARestoreDoesNotRun) {
  struct words_case {
    const char* command_line;
    int exit_code;
    const char* expected_line;
  };
  const words_case cases[] = {
      {"/report /backup:C:\\Saved Acme Suite Svc.exe", 0,
       "Backup: a real run would save what it changes in 'C:\\Saved'; a report-only run "
       "changes nothing and makes no backup"},
      {"/backup:C:\\Saved /report Acme Suite Svc.exe", 0,
       "Backup: a real run would save what it changes in 'C:\\Saved'; a report-only run "
       "changes nothing and makes no backup"},
      {"/report /restore:C:\\Saved", 1,
       "ATTENTION: a restore changes the machine: it does not run in a report-only run"},
  };
  for (const words_case& c : cases) {
    SCOPED_TRACE(c.command_line);
    ASSERT_TRUE(
        test_support::set_string(HKEY_CURRENT_USER, 0, L"Software\\Corvane\\Sub", L"v", L"x"));
    std::vector<std::string> lines;
    {
      const test_support::captured_log log;
      EXPECT_EQ(c.exit_code, purgeline_main(c.command_line));
      lines = log.texts();
    }
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), c.expected_line));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Saved"));
    EXPECT_TRUE(test_support::key_exists(HKEY_CURRENT_USER, 0, L"Software\\Corvane\\Sub"));
    if (c.exit_code == 0) {
      EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                       "BrandName: Acme; SuiteName: Suite; ServiceName: Svc.exe."));
      EXPECT_NE(std::string::npos,
                test_support::read_file(report_path()).find(std::string(c.expected_line) + "\r\n"));
    }
  }
}

// A report-only run exists to give its report: when the report cannot be written (a folder
// holds its name), the run says so and fails.
TEST_F(ReportPass, AReportThatCannotBeWrittenFailsTheRun) {
  DeleteFileA(report_path().c_str());
  ASSERT_TRUE(CreateDirectoryA(report_path().c_str(), nullptr));
  std::vector<std::string> lines;
  int exit_code = -1;
  {
    const test_support::captured_log log;
    exit_code = purgeline_main("/report Acme Suite Svc.exe");
    lines = log.texts();
  }
  RemoveDirectoryA(report_path().c_str());
  EXPECT_EQ(1, exit_code);
  EXPECT_NE(lines.end(), std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
              return line.rfind("ATTENTION: the report '" + report_path() + "' cannot be written",
                                0) == 0;
            }));
}

}  // namespace
