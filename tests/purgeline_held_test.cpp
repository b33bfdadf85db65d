// Another process of the session holds everything a run of Purgeline might wait for, for four
// minutes: an event under the name of every hold point of the test flavour, and the lock of
// Purgeline's log. The shipped program has no hold points, and waits for its log's lock no
// longer than the lock's patience: a report-only run and a real run both do their whole work
// while the other process still holds on.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "replay/log/file.h"
#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/text.h"
#include "tests/purgeline_process.h"
#include "tests/report_check.h"
#include "tests/seed/suite_machine.h"

namespace {

// Every hold point in the sources (tests/check_hold_points.sh lists them from there).
const char* const kHoldPoints[] = {
    "dizavad.data removed",           "registry.uninstall entries removed",
    "folders.start menu removed",     "installer.upgrade code removed",
    "installer.product removed",      "installer.component cleaned",
    "installer.key file decremented",
};

constexpr int kHoldSeconds = 240;

// The lock of Purgeline's log: its base name is the log's path without ".log.txt".
std::string log_lock_name() {
  const std::string path = e2e::log_path();
  return replay::log::file::lock_name(path.substr(0, path.size() - 8));
}

// The state the inventory gives the one item whose label ends with `label`.
std::string state_of(const std::string& label) {
  std::string state = "<no such item: " + label + ">";
  for (const std::string& line : seed::inventory()) {
    const std::string::size_type colon = line.rfind(": ");
    const std::string item = line.substr(0, colon);
    if (item.size() >= label.size() &&
        item.compare(item.size() - label.size(), label.size(), label) == 0) {
      state = line.substr(colon + 2);
    }
  }
  return state;
}

class PurgelineHeldFromOutside : public ::testing::Test {
 protected:
  // One seeding and one holder serve both runs: the report-only run changes nothing.
  static void SetUpTestSuite() {
    seed::stop_suite_processes();
    seed::suite_options options;
    options.helpers_folder = e2e::program_folder();
    seed::install_suite(options);
    s_holder = start_holder();
  }
  static void TearDownTestSuite() {
    if (s_holder) TerminateProcess(s_holder->handle(), 1);
    s_holder.reset();
    seed::stop_suite_processes();
  }

  // Runs Purgeline, which must end while the holder still holds everything.
  static void run(const std::string& arguments) {
    ASSERT_TRUE(s_holder) << "the holder did not start";
    DeleteFileA(e2e::log_path().c_str());
    e2e::run_purgeline(arguments);
    EXPECT_FALSE(s_holder->wait(0)) << "the holder let go before the run had ended";
  }

 private:
  static std::unique_ptr<test_support::child_process> start_holder() {
    const std::string ready_name = "corvane-held-ready-" + std::to_string(GetCurrentProcessId());
    const replay::scoped_handle ready(CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str()));
    std::vector<std::wstring> arguments = {L"squat", std::to_wstring(kHoldSeconds),
                                           test_support::wide(ready_name),
                                           test_support::wide(log_lock_name())};
    for (const char* point : kHoldPoints) arguments.push_back(test_support::wide(point));
    auto holder = std::make_unique<test_support::child_process>(
        test_support::helper_program(L"named_lock_holder"),
        test_support::quote_arguments(arguments));
    const HANDLE waits[] = {ready.get(), holder->handle()};
    if (!holder->started() || WaitForMultipleObjects(2, waits, FALSE, 60000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the holder did not take hold";
      return nullptr;
    }
    return holder;
  }

  static std::unique_ptr<test_support::child_process> s_holder;
};

std::unique_ptr<test_support::child_process> PurgelineHeldFromOutside::s_holder;

TEST_F(PurgelineHeldFromOutside, ReportOnlyRunWritesItsReport) {
  DeleteFileA(e2e::report_path().c_str());
  run("/report");
  const std::vector<std::string> lines = e2e::log_texts();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(std::string::npos, lines[0].find("report-only run: nothing is changed")) << lines[0];
  EXPECT_FALSE(e2e::read_report(e2e::report_path()).empty());
  EXPECT_EQ("present", state_of("Uninstall\\Corvane"));
}

TEST_F(PurgelineHeldFromOutside, RealRunRemovesTheSuite) {
  run("");
  e2e::expect_in_order(e2e::log_texts(), {
                                             "**** Let's remove Dizavad 3.1.x Data ****",
                                             "**** Cleaning SOFTWARE registry ****",
                                             "**** Cleaning Installation Database ****",
                                             "Key Files Removed",
                                         });
  EXPECT_EQ("absent", state_of("Uninstall\\Corvane"));
  EXPECT_EQ("absent", state_of("Start Menu\\Programs\\Corvane"));
  EXPECT_EQ("absent", state_of("{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}"));
}

}  // namespace
