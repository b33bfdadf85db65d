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
                      command_line_case{" W1", "", "W1", "W1"},
                      command_line_case{" ", "", "", ""},
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

}  // namespace
