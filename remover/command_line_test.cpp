#include "remover/command_line.h"

#include <gtest/gtest.h>

namespace {

struct command_line_case {
  const char* line;
  const char* brand;
  const char* suite;
  const char* service;
};

class CommandLineTest : public ::testing::TestWithParam<command_line_case> {};

TEST_P(CommandLineTest, SplitsAtFirstAndLastBlank) {
  const command_line_case& c = GetParam();
  run_settings settings;
  ASSERT_TRUE(read_command_line(c.line, settings));
  EXPECT_EQ(c.brand, settings.brand_name);
  EXPECT_EQ(c.suite, settings.suite_name);
  EXPECT_EQ(c.service, settings.service_name);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, CommandLineTest,
    ::testing::Values(command_line_case{"W1", "W1", "W1", "W1"},
                      command_line_case{"W1 W2", "W1", "W2", "W2"},
                      command_line_case{"W1 W2 W3", "W1", "W2", "W3"},
                      command_line_case{"W1 W2 W3 W4", "W1", "W2 W3", "W4"},
                      command_line_case{"W1  W2", "W1", "", "W2"},
                      command_line_case{"W1 W2 W3 ", "W1", "W2 W3", ""},
                      command_line_case{" W1", "", "W1", "W1"}, command_line_case{" ", "", "", ""},
                      // Only the blank separates: tabs and quotes are ordinary characters.
                      command_line_case{"A\tB \"C D\"", "A\tB", "\"C", "D\""}));

TEST(CommandLine, EmptyLineKeepsDefaults) {
  run_settings settings;
  EXPECT_FALSE(read_command_line("", settings));
  EXPECT_EQ("Ravelins", settings.brand_name);
  EXPECT_EQ("Suite", settings.suite_name);
  EXPECT_EQ("RavelinSuiteService.exe", settings.service_name);
}

TEST(CommandLine, LogText) {
  run_settings settings;
  read_command_line("Acme  Svc.exe", settings);
  EXPECT_EQ("BrandName: Acme; SuiteName: ; ServiceName: Svc.exe.", command_line_log_text(settings));
}

struct report_switch_case {
  const char* line;
  bool report_only;
  const char* rest;  // what the usual grammar reads
};

class ReportSwitchTest : public ::testing::TestWithParam<report_switch_case> {};

TEST_P(ReportSwitchTest, TakesALeadingReportWordOnly) {
  const report_switch_case& c = GetParam();
  std::string line = c.line;
  EXPECT_EQ(c.report_only, take_report_switch(line)) << c.line;
  EXPECT_EQ(c.rest, line) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReportSwitchTest,
    ::testing::Values(report_switch_case{"/report", true, ""},
                      report_switch_case{"/report ", true, ""},
                      report_switch_case{"/report Acme Suite Svc.exe", true, "Acme Suite Svc.exe"},
                      // Only the one blank that ends the word goes; the usual grammar reads the
                      // rest as it always has.
                      report_switch_case{"/report  Acme", true, " Acme"},
                      // Not followed by a blank or the end of the line, not at the start, in
                      // another case or with a value: no report-only run, the line unchanged.
                      report_switch_case{"/reporting Acme", false, "/reporting Acme"},
                      report_switch_case{"/report:x Acme", false, "/report:x Acme"},
                      report_switch_case{"/REPORT Acme", false, "/REPORT Acme"},
                      report_switch_case{"Acme /report", false, "Acme /report"},
                      report_switch_case{" /report", false, " /report"},
                      report_switch_case{"/report\tAcme", false, "/report\tAcme"},
                      report_switch_case{"", false, ""}));

TEST(ReportSwitch, RestFollowsTheUsualGrammar) {
  std::string line = "/report Acme Suite Svc.exe";
  ASSERT_TRUE(take_report_switch(line));
  run_settings settings;
  ASSERT_TRUE(read_command_line(line, settings));
  EXPECT_EQ("Acme", settings.brand_name);
  EXPECT_EQ("Suite", settings.suite_name);
  EXPECT_EQ("Svc.exe", settings.service_name);
}

TEST(LeadingWords, TakesAcceptedWordsWithTheirValuesAndStopsAtTheFirstOther) {
  std::string line = "/a /b:C:\\x /c: /d Acme /e";
  const std::vector<leading_word> words =
      take_leading_words(line, [](const leading_word& word) { return word.name != "d"; });
  ASSERT_EQ(3u, words.size());
  EXPECT_EQ("a", words[0].name);
  EXPECT_FALSE(words[0].has_value);
  EXPECT_EQ("b", words[1].name);
  EXPECT_TRUE(words[1].has_value);
  EXPECT_EQ("C:\\x", words[1].value) << "the value runs to the blank, colons and all";
  EXPECT_EQ("c", words[2].name);
  EXPECT_TRUE(words[2].has_value);
  EXPECT_EQ("", words[2].value);
  EXPECT_EQ("/d Acme /e", line);

  line = "/a Acme /b";
  EXPECT_EQ(1u, take_leading_words(line, [](const leading_word&) { return true; }).size());
  EXPECT_EQ("Acme /b", line) << "words after the brand are the usual grammar's";
}

}  // namespace
