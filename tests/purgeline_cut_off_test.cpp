// Purgeline cut off in the middle of its pass (a power cut, an installer that gave up waiting,
// a user who ended it), then run again: the second run completes what the first began, and the
// machine ends exactly as one uninterrupted run leaves it. Each cut is made at a hold point of
// the pass (replay/mutex/hold_point.h) with TerminateProcess, so it falls at the same place
// every time. The steps before the installer database pass do the same in both kinds of
// Windows, so they are cut in the 64-bit prefix only; the installer pass has a WOW64 and a
// native variant, and is cut in both.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "testing/machine_snapshot.h"
#include "tests/purgeline_process.h"
#include "tests/seed/suite_machine.h"
#include "tests/seed/suite_scope.h"

namespace {

struct cut_point {
  const char* name;
  bool installer_pass;
};

const cut_point kCutPoints[] = {
    {"dizavad.data removed", false},          {"registry.uninstall entries removed", false},
    {"folders.start menu removed", false},    {"installer.upgrade code removed", true},
    {"installer.product removed", true},      {"installer.component cleaned", true},
    {"installer.key file decremented", true}, {"installer.feature removed", true},
    {"installer.patch removed", true},        {"installer.cached file removed", true},
    {"installer.icon folder removed", true},
};

// What differs from run to run whatever the pass does: the programs running, the log, and the
// service manager's count of services started.
bool run_specific(const test_support::machine_change& change) {
  return change.item.compare(0, 8, "process ") == 0 ||
         test_support::item_within(change.item,
                                   "HKLM\\System\\CurrentControlSet\\Control\\ServiceCurrent") ||
         test_support::item_within(change.item, e2e::log_path());
}

// The log's lines that report something done or found missing, for the test's output.
void print_outcomes(const char* point, const std::vector<std::string>& lines) {
  std::cout << "second run after the cut at '" << point << "':\n";
  for (const std::string& line : lines) {
    if (line.empty() || line[0] == '*' || line[0] == '=') continue;
    std::cout << "  | " << line << "\n";
  }
}

class PurgelineCutOff : public ::testing::TestWithParam<cut_point> {
 protected:
  void SetUp() override {
    seed::stop_suite_processes();
    options.helpers_folder = e2e::program_folder();
  }
  void TearDown() override { seed::stop_suite_processes(); }

  void install() {
    seed::install_suite(options);
    DeleteFileA(e2e::log_path().c_str());
  }

  // The machine after one uninterrupted run on a freshly seeded suite; taken once per prefix.
  const test_support::machine_snapshot& uninterrupted() {
    static test_support::machine_snapshot result;
    static bool taken = false;
    if (!taken) {
      install();
      e2e::run_purgeline();
      seed::stop_suite_processes();
      result = test_support::take_machine_snapshot();
      taken = true;
    }
    return result;
  }

  seed::suite_options options;
};

TEST_P(PurgelineCutOff, SecondRunLeavesTheMachineAsOneUninterruptedRun) {
  const cut_point point = GetParam();
  if (!point.installer_pass && !e2e::under_wow64()) {
    GTEST_SKIP() << "this step does the same in both kinds of Windows";
  }
  const test_support::machine_snapshot& expected = uninterrupted();
  install();
  ASSERT_TRUE(e2e::cut_purgeline_at(point.name)) << "the pass never reached " << point.name;
  DeleteFileA(e2e::log_path().c_str());
  e2e::run_purgeline();
  seed::stop_suite_processes();
  const test_support::machine_snapshot completed = test_support::take_machine_snapshot();

  for (const test_support::machine_change& change :
       seed::without_run_noise(test_support::unexpected_changes(
           test_support::compare(expected, completed), run_specific))) {
    ADD_FAILURE() << "differs from an uninterrupted run: " << change.text();
  }
  print_outcomes(point.name, e2e::log_texts());
}

std::string point_test_name(const ::testing::TestParamInfo<cut_point>& info) {
  std::string name;
  for (const char* c = info.param.name; *c != '\0'; ++c) {
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(AtEachPoint, PurgelineCutOff, ::testing::ValuesIn(kCutPoints),
                         point_test_name);

}  // namespace
