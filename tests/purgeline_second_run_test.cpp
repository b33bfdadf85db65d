// Purgeline run twice on the same machine: the second run finds nothing left of the suite, so it
// changes nothing, logs only what is absent or not found, and ends with 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/machine_snapshot.h"
#include "tests/purgeline_process.h"
#include "tests/seed/suite_machine.h"
#include "tests/seed/suite_scope.h"

namespace {

// What differs from run to run whatever the pass does: the programs running, and the log.
bool run_specific(const test_support::machine_change& change) {
  return change.item.compare(0, 8, "process ") == 0 ||
         test_support::item_within(change.item, e2e::log_path());
}

// Texts that only a run that removed or changed something writes.
// ("Dizavad 3.1.x INSTALLDIR was removed" closes its stage whatever the stage found.)
const char* const kChangeLines[] = {
    "Removed ",          "' unregistered", ". Folder '", "is set to",
    "is decremented to", "FAILED",         "! Failed",   "ERROR",
};

// "<store number>  {GUID}": a code removed from an installer store; "  C:\...": a key file.
bool installer_change_line(const std::string& line) {
  const std::string::size_type digits = line.find_first_not_of("0123456789");
  if (digits > 0 && digits != std::string::npos && line.compare(digits, 3, "  {") == 0) {
    return true;
  }
  return line.size() > 4 && line.compare(0, 2, "  ") == 0 && line[3] == ':';
}

// "HKLM\Software\..." or "HKCU\Software\...": a registry key deleted; "   <file> removed": a file
// of the Dizavad deleted.
bool change_line(const std::string& line) {
  const std::string removed = " removed";
  if (line.compare(0, 3, "   ") == 0 && line.size() > removed.size() &&
      line.compare(line.size() - removed.size(), removed.size(), removed) == 0) {
    return true;
  }
  return line.compare(0, 14, "HKLM\\Software\\") == 0 ||
         line.compare(0, 14, "HKCU\\Software\\") == 0;
}

class PurgelineSecondRun : public ::testing::Test {
 protected:
  void SetUp() override {
    seed::stop_suite_processes();
    options.helpers_folder = e2e::program_folder();
  }
  void TearDown() override { seed::stop_suite_processes(); }
  seed::suite_options options;
};

TEST_F(PurgelineSecondRun, ChangesNothingAndLogsOnlyAbsentOutcomes) {
  seed::install_suite(options);
  e2e::run_purgeline();
  const test_support::machine_snapshot first = test_support::take_machine_snapshot();
  DeleteFileA(e2e::log_path().c_str());

  e2e::run_purgeline();  // exit code 0 is checked there
  const test_support::machine_snapshot second = test_support::take_machine_snapshot();

  for (const test_support::machine_change& change : seed::without_run_noise(
           test_support::unexpected_changes(test_support::compare(first, second), run_specific))) {
    ADD_FAILURE() << "the second run changed: " << change.text();
  }
  const std::vector<std::string> lines = e2e::log_texts();
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    for (const char* text : kChangeLines) {
      EXPECT_EQ(std::string::npos, line.find(text)) << "the second run logged: " << line;
    }
    EXPECT_FALSE(installer_change_line(line) || change_line(line))
        << "the second run logged: " << line;
  }
  e2e::expect_in_order(lines, {"**** Cleaning SOFTWARE registry ****",
                               "**** Cleaning Installation Database ****", "Key Files Removed"});
}

}  // namespace
