// Report-only runs end to end on the seeded suite machine: a "/report" run changes nothing but
// its report and its log, and the real run that follows changes exactly what the report listed,
// item for item. Each machine kind is seeded once and serves both runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/machine_snapshot.h"
#include "tests/purgeline_process.h"
#include "tests/report_check.h"
#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_machine.h"
#include "tests/seed/suite_scope.h"

namespace {

using test_support::machine_change;
using test_support::machine_snapshot;
using test_support::take_machine_snapshot;

class PurgelineReport : public ::testing::Test {
 protected:
  void SetUp() override {
    seed::stop_suite_processes();
    DeleteFileA(e2e::log_path().c_str());
    DeleteFileA(e2e::report_path().c_str());
    options.helpers_folder = e2e::program_folder();
  }
  void TearDown() override { seed::stop_suite_processes(); }

  // Seeds the machine, runs "/report", checks that nothing changed and reads the report; then
  // runs for real and holds the report against what changed.
  void report_then_run() {
    seed::install_suite(options);
    const machine_snapshot before = take_machine_snapshot();
    e2e::run_purgeline("/report");
    for (const machine_change& change :
         seed::without_run_noise(test_support::compare(before, take_machine_snapshot()))) {
      ADD_FAILURE() << "a report-only run changed: " << change.text();
    }
    const std::vector<std::string> planned_log = e2e::log_texts();
    ASSERT_FALSE(planned_log.empty());
    EXPECT_NE(std::string::npos, planned_log[0].find("report-only run: nothing is changed"))
        << planned_log[0];
    EXPECT_TRUE(e2e::log_has(planned_log, "CVPurgeline.report.txt"));
    report = e2e::read_report(e2e::report_path());
    EXPECT_FALSE(report.empty());

    DeleteFileA(e2e::log_path().c_str());
    e2e::run_purgeline("");
    const std::vector<machine_change> changes =
        seed::without_run_noise(test_support::compare(before, take_machine_snapshot()));
    const e2e::report_mismatch mismatch = e2e::compare_report(report, changes, before);
    EXPECT_TRUE(mismatch.empty()) << mismatch.text();
    EXPECT_EQ(std::string::npos, e2e::log_texts()[0].find("report-only"));
  }

  bool reported(const std::string& what, const std::string& where_part) const {
    for (const e2e::report_line& line : report) {
      if (line.what == what && line.where.find(where_part) != std::string::npos) return true;
    }
    return false;
  }

  seed::suite_options options;
  std::vector<e2e::report_line> report;
};

TEST_F(PurgelineReport, ReportsExactlyWhatTheRunThenChanges) {
  report_then_run();
  EXPECT_TRUE(reported("end process", "cvagent.exe"));
  EXPECT_TRUE(reported("delete service", "Corvane Update Service"));
  EXPECT_TRUE(reported("remove folder", "Ravelins"));
  // What the installer kept beside the product's registration, and not the other product's.
  const std::string product = seed::ansi(seed::packed_guid(seed::kProductCode));
  const std::string patch = seed::ansi(seed::packed_guid(seed::kPatchCode));
  EXPECT_TRUE(reported("delete key", "Installer\\Features\\" + product));
  EXPECT_TRUE(reported("delete key", "Classes\\Installer\\Patches\\" + patch));
  EXPECT_TRUE(reported("delete key", "S-1-5-18\\Patches\\" + patch));
  EXPECT_TRUE(reported("delete file", std::string("Installer\\") + seed::kCachedPackage));
  EXPECT_TRUE(reported("delete file", std::string("Installer\\") + seed::kCachedPatch));
  EXPECT_TRUE(reported("remove folder", "Installer\\" + seed::ansi(seed::kProductCode)));
  EXPECT_FALSE(reported("delete file", seed::kOtherCachedPackage));
  EXPECT_FALSE(reported("remove folder", seed::ansi(seed::kOtherProductCode)));
}

// Two products are left in product.cfg: the framework and the update service stay, and the
// report says so by leaving them out.
TEST_F(PurgelineReport, FrameworkKeptWithTwoProductsLeft) {
  options.registered_products = {L"CVPRO", L"TOOLKIT", L"QLPRO"};
  report_then_run();
  EXPECT_FALSE(reported("delete service", "Corvane Update Service"));
  EXPECT_TRUE(reported("write file", "product.cfg"));
}

// product.cfg cannot be read: the count is unknown and nothing shared is planned.
TEST_F(PurgelineReport, DamagedProductListKeepsTheFramework) {
  options.damage_product_cfg = true;
  report_then_run();
  EXPECT_FALSE(reported("delete service", "Corvane Update Service"));
  EXPECT_FALSE(reported("write file", "product.cfg"));
}

}  // namespace
