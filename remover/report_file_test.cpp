// The report of a report-only run: its text (header, assumptions, one line per change, the
// summary) and how it is written; the frame that plans the pass's changes for its lifetime.
#include "remover/report_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "remover/report_run.h"
#include "replay/change/change_layer.h"
#include "testing/files.h"
#include "testing/scratch_folder.h"

namespace {

using replay::change;
using replay::change_kind;

change make(change_kind kind, const std::wstring& where, const std::wstring& detail = L"") {
  change c;
  c.kind = kind;
  c.where = where;
  c.detail = detail;
  return c;
}

// The report's lines without their CRLF; the byte order mark stays on the first.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  for (std::string::size_type end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(text.size(), start) << "every line ends with CRLF";
  return lines;
}

const report_header kHeader{"Purgeline 1.0.0 (commit abc) report-only run: nothing is changed",
                            "2024-05-01 10:00:00",
                            "BrandName: Acme; SuiteName: Suite; ServiceName: Svc.exe.", ""};

std::vector<change> some_changes() {
  change value =
      make(change_kind::set_value, L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\X", L"3 -> 2");
  value.value = L"C:\\Program Files (x86)\\Ravelins\\a.dll";
  value.view = replay::registry_view::view_32;
  return {
      make(change_kind::end_process, L"cvagent.exe", L"process id 12"),
      make(change_kind::run_program, L"C:\\Ravelins\\RavelinSuiteService.exe",
           L"/unregister CVPRO; assumed: CVPRO unregistered"),
      make(change_kind::delete_file, L"C:\\ProgramData\\Corvane\\\x00e9t\x00e9.txt"),
      make(change_kind::delete_file, L"C:\\ProgramData\\Corvane\\b.txt"),
      make(change_kind::remove_folder, L"C:\\ProgramData\\Corvane"),
      value,
  };
}

TEST(ReportText, HeaderAssumptionsChangesInOrderAndEveryKindCounted) {
  const std::vector<change> changes = some_changes();
  const std::vector<std::string> lines = lines_of(report_text(kHeader, changes));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ("\xEF\xBB\xBF" + kHeader.run, lines[0]) << "UTF-8 with a byte order mark";
  EXPECT_EQ("Started: 2024-05-01 10:00:00", lines[1]);
  EXPECT_EQ(kHeader.settings, lines[2]);

  const std::vector<std::string> expected_tail = {
      "Assumed: a file that a process holds open can be deleted (the run ends the suite's "
      "processes first); the program of a process that keeps running stays in use, as the real "
      "run finds it.",
      "Assumed: 'C:\\Ravelins\\RavelinSuiteService.exe' is not started; the run is judged on: "
      "/unregister CVPRO; assumed: CVPRO unregistered.",
      "",
      "end process\tcvagent.exe\tprocess id 12",
      "run program\tC:\\Ravelins\\RavelinSuiteService.exe\t/unregister CVPRO; assumed: CVPRO "
      "unregistered",
      "delete file\tC:\\ProgramData\\Corvane\\\xC3\xA9t\xC3\xA9.txt\t",
      "delete file\tC:\\ProgramData\\Corvane\\b.txt\t",
      "remove folder\tC:\\ProgramData\\Corvane\t",
      "set value\tHKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\X [C:\\Program Files "
      "(x86)\\Ravelins\\a.dll] (32-bit view)\t3 -> 2",
      "",
      "Summary: 6 changes",
      "end process: 1",
      "stop service: 0",
      "delete service: 0",
      "run program: 1",
      "delete file: 2",
      "remove folder: 1",
      "delete key: 0",
      "delete value: 0",
      "set value: 1",
      "write file: 0",
      "schedule at restart: 0",
  };
  ASSERT_EQ(4 + expected_tail.size(), lines.size());
  for (size_t i = 0; i < expected_tail.size(); ++i) {
    EXPECT_EQ(expected_tail[i], lines[4 + i]) << "line " << 4 + i;
  }
}

TEST(ReportText, NoChangesStillListsEveryKind) {
  const std::vector<std::string> lines = lines_of(report_text(kHeader, {}));
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ("Summary: 0 changes", lines[lines.size() - 12]);
  EXPECT_EQ("end process: 0", lines[lines.size() - 11]);
  EXPECT_EQ("schedule at restart: 0", lines.back());
}

// A value name read from the machine may hold line breaks: its change stays on one line.
TEST(ReportText, ControlCharactersInNamesKeepOneLinePerChange) {
  change c = make(change_kind::delete_value, L"HKCU\\Software\\Corvane");
  c.value = L"two\r\nlines";
  const std::vector<std::string> lines = lines_of(report_text(kHeader, {c}));
  ASSERT_EQ(1, std::count(lines.begin(), lines.end(),
                          "delete value\tHKCU\\Software\\Corvane [two%0D%0Alines]\t"));
  EXPECT_EQ("Summary: 1 changes", lines[lines.size() - 12]);
}

// A tab in a name would add a column, and a "%" in it would read as an escape: both are
// written as "%XX", so that every change has its three columns and each reads back as it was.
TEST(ReportText, TabsAndPercentInNamesKeepThreeColumnsAndReadAsTheyWere) {
  change c = make(change_kind::delete_value, L"HKCU\\Software\\Corvane\t100%", L"was %0A");
  c.value = L"a\tb%09";
  const std::vector<std::string> lines = lines_of(report_text(kHeader, {c}));
  const std::string expected =
      "delete value\tHKCU\\Software\\Corvane%09100%25 [a%09b%2509]\twas %250A";
  ASSERT_EQ(1, std::count(lines.begin(), lines.end(), expected));
}

TEST(WriteReport, WritesTheBytesAndReplacesAnEarlierReport) {
  const test_support::scratch_folder folder(L"report");
  const std::wstring path = folder / L"CVPurgeline.report.txt";
  ASSERT_TRUE(test_support::make_file(path, "an earlier report that is longer than this one"));
  test_support::set_read_only(path, false);
  const std::string text = report_text(kHeader, some_changes());
  EXPECT_EQ(0u, write_report(path, text));
  EXPECT_EQ(text, test_support::read_file(path));
}

TEST(WriteReport, AFolderThatDoesNotExistGivesTheError) {
  const test_support::scratch_folder folder(L"report");
  EXPECT_NE(0u, write_report(folder / L"missing\\CVPurgeline.report.txt", "x"));
}

TEST(ReportPath, BesideTheLogInTheTemporaryFolder) {
  char temp[MAX_PATH];
  const std::string folder(temp, GetTempPathA(MAX_PATH, temp));
  EXPECT_EQ(folder + "CVPurgeline.report.txt", report_path());
}

// The planning layer is set for exactly the run's lifetime; a normal run keeps the real one and
// its first log line unchanged.
TEST(ReportRun, PlansForItsLifetimeAndMarksTheFirstLine) {
  {
    const report_run normal(false);
    EXPECT_FALSE(replay::changes().planning());
    EXPECT_EQ(std::string::npos, normal.first_log_line().find("report-only"));
    EXPECT_EQ(0u, normal.first_log_line().find("Purgeline "));
  }
  {
    const report_run report(true);
    EXPECT_TRUE(replay::changes().planning());
    const std::string line = report.first_log_line();
    EXPECT_EQ(0u, line.find("Purgeline ")) << "the version line stays first";
    EXPECT_NE(std::string::npos, line.find(" report-only run: nothing is changed"));
  }
  EXPECT_FALSE(replay::changes().planning());
}

}  // namespace
