// Purgeline end to end: a machine with an installed Corvane suite is seeded with the real API,
// the real Purgeline.exe runs on it as a separate process, and the machine's state and the log
// are checked afterwards. Runs in a 64-bit Windows prefix (the installer cleaner's WOW64
// variant) and in a 32-bit one (its native variant).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/machine_snapshot.h"
#include "tests/purgeline_process.h"
#include "tests/seed/product_cfg.h"
#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_machine.h"
#include "tests/seed/suite_scope.h"

namespace {

using e2e::expect_in_order;
using e2e::log_has;
using e2e::log_path;
using e2e::log_texts;
using e2e::program_folder;
using e2e::run_purgeline;
using e2e::under_wow64;

// The inventory as item -> state.
std::map<std::string, std::string> inventory_map() {
  std::map<std::string, std::string> items;
  for (const std::string& line : seed::inventory()) {
    std::string::size_type colon = line.rfind(": ");
    items[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return items;
}

// The state of the one item whose label ends with `label`.
std::string state_of(const std::map<std::string, std::string>& items, const std::string& label) {
  std::string state = "<no such item: " + label + ">";
  int matches = 0;
  for (const auto& item : items) {
    if (item.first.size() >= label.size() &&
        item.first.compare(item.first.size() - label.size(), label.size(), label) == 0) {
      state = item.second;
      ++matches;
    }
  }
  return matches == 1 ? state : "<" + std::to_string(matches) + " items match: " + label + ">";
}

struct expectation {
  std::string label;
  std::string state;
};

// How the inventory names HKEY_LOCAL_MACHINE as the 32-bit programs see it.
std::string hklm() {
  return under_wow64() ? "HKLM(32-bit view)" : "HKLM";
}

class PurgelineEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    seed::stop_suite_processes();
    DeleteFileA(log_path().c_str());
    machine = seed::current_machine();
    options.helpers_folder = program_folder();
  }
  void TearDown() override { seed::stop_suite_processes(); }

  // Installs the suite, runs Purgeline and takes the inventory and the log. Whatever the
  // scenario, the run may change nothing of the machine but the suite's own things.
  void install_and_run(const std::string& arguments = "") {
    seed::install_suite(options);
    run_and_take_stock(arguments);
  }

  // Runs Purgeline on the machine as seeded so far; the suite's own things are those of the
  // seeding plus `also_the_suites` (paths a scenario seeded itself).
  void run_and_take_stock(const std::string& arguments) {
    const test_support::machine_snapshot before = test_support::take_machine_snapshot();
    run_purgeline(arguments);
    const test_support::machine_snapshot after = test_support::take_machine_snapshot();
    for (const test_support::machine_change& change :
         seed::changes_outside_the_suite(test_support::compare(before, after), also_the_suites)) {
      ADD_FAILURE() << "changed outside the suite: " << change.text();
    }
    items = inventory_map();
    lines = log_texts();
  }

  void expect_states(const std::vector<expectation>& table) {
    for (const expectation& e : table) {
      EXPECT_EQ(e.state, state_of(items, e.label)) << e.label;
    }
  }

  seed::machine_paths machine;
  seed::suite_options options;
  std::vector<std::string> also_the_suites;
  std::map<std::string, std::string> items;
  std::vector<std::string> lines;
};

// What never belongs to the suite and must survive every run.
const std::vector<expectation> decoys() {
  return {
      {"Uninstall\\Lantern Reader", "present"},
      {hklm() + "\\Software\\Lantern", "present"},
      {"HKCU\\Software\\Lantern", "present"},
      {"{9A8B7C6D-5E4F-4321-9876-FEDCBA987654}", "present (1 entries)"},
      {"ProgramData\\Lantern", "present (1 entries)"},
      {"Roaming\\Lantern", "present (1 entries)"},
      {"Programs\\Lantern", "present (1 entries)"},
      {"[C:\\Lantern\\RavelinLauncher.exe]", "3"},
      {"process xcvus.exe", "running"},
      {"service Lantern Update Service", "registered, running"},
      {std::string("Installer\\") + seed::kOtherCachedPackage, "present"},
      {"Installer\\" + seed::ansi(seed::kOtherProductCode), "present (1 entries)"},
  };
}

TEST_F(PurgelineEndToEnd, RemovesTheWholeSuiteAndNothingElse) {
  install_and_run();
  const bool wow64 = under_wow64();
  expect_states({
      {"Uninstall\\Corvane", "absent"},
      {"Uninstall\\Corvane Toolbar", "absent"},
      {"Uninstall\\{7A3E5C21-94B6-4D08-8F1A-3C6B2E9D0F47}", "absent"},
      {"HKCU\\Software\\Corvane", "absent"},
      {"HKCU\\Software\\VozadEvuzad2", "absent"},
      {"process RavelinLauncher.exe", "not running"},
      {"process cvagent.exe", "not running"},
      {"service Corvane Update Service", "absent"},
      {"product.cfg registrations", "absent"},
      {"Ravelins\\RavelinSuiteService.exe", "absent"},
      {"Ravelins\\Languages", "absent"},
      {"Ravelins\\Corvane", "absent"},
      {"ProgramData\\Ravelins\\Suite", "absent"},
      {"ProgramData\\Ravelins\\Programs Bar", "absent"},
      {"ProgramData\\Corvane", "absent"},
      {"{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}", "absent"},
      {"Roaming\\Corvane", "absent"},
      {"alice\\AppData\\Roaming\\Ravelins\\Suite", "absent"},
      {"alice\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins", "absent"},
      {"Start Menu\\Programs\\Corvane", "absent"},
      {"ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Ravelins", "absent"},
      {"Ravelins\\RavelinSuiteService.exe]", "absent"},
      {"Ravelins\\RavelinLauncher.exe]", "absent"},
      {"Ravelins\\Tracegather.exe]", "absent"},
      {"Ravelins\\cvhtml.dll]", "absent"},
  });
  expect_states(decoys());
  // What the installer kept beside the registrations goes with them.
  const std::string patch = seed::ansi(seed::packed_guid(seed::kPatchCode));
  expect_states({
      {"Features\\" + seed::ansi(seed::packed_guid(seed::kProductCode)), "absent"},
      {"Classes\\Installer\\Patches\\" + patch, "absent"},
      {"S-1-5-18\\Patches\\" + patch, "absent"},
      {std::string("Installer\\") + seed::kCachedPackage, "absent"},
      {std::string("Installer\\") + seed::kCachedPatch, "absent"},
      {"Installer\\" + seed::ansi(seed::kProductCode), "absent"},
  });
  // The installer stores of the 64-bit view lose the product; its key file loses a reference.
  const std::map<std::string, std::string>& i = items;
  for (const auto& item : i) {
    if (item.first.find("UpgradeCodes\\E3C7B0D5") != std::string::npos &&
        item.first.find(wow64 ? "64-bit view" : "HKLM\\") != std::string::npos) {
      EXPECT_EQ("absent", item.second) << item.first;
    }
    if (item.first.find("corvane.dll]") != std::string::npos) {
      EXPECT_EQ("1", item.second);
    }
  }
  if (wow64) {
    // The 32-bit view is not the installer database of 64-bit Windows: its copies stay, and
    // so does the 64-bit view's Software\Corvane.
    EXPECT_EQ("present", state_of(items, "HKLM(64-bit view)\\Software\\Corvane"));
    EXPECT_EQ("present", state_of(items,
                                  "HKLM(32-bit view)\\SOFTWARE\\Microsoft\\Windows\\"
                                  "CurrentVersion\\Installer\\UpgradeCodes\\" +
                                      seed::ansi(seed::packed_guid(seed::kUpgradeCode))));
    // A component another product uses keeps its key file's count under WOW64.
    EXPECT_EQ("5", state_of(items, "shared.dll]"));
  } else {
    EXPECT_EQ("4", state_of(items, "shared.dll]"));
  }

  expect_in_order(lines, {
                             "**** Search Corvane info ****",
                             ". Product information is found in the key",
                             "Unregister CVPRO from Dizavad 3.1.x",
                             "'CVPRO' unregistered",
                             "Count products registered in Dizavad 3.1.x",
                             "   number of products = 1",
                             "**** Let's remove Dizavad 3.1.x Code ****",
                             "**** Let's remove Dizavad 3.1.x Data ****",
                             "**** Let's remove Dizavad 3.1.x Registry Component ****",
                             "Fixing Dizavad counters in SharedDLLs",
                             "**** Cleaning SOFTWARE registry ****",
                             "**** Removing shortcuts in All Users' Start Menu ****",
                             "**** Removing shortcuts in Current User's Start Menu ****",
                             "**** Cleaning Installation Database ****",
                             "Locating Windows Installer Root Stores",
                             wow64 ? "Root: 1  HKCR" : "Root: 1  ",
                             "Upgrade Codes Removed",
                             "Product Codes Removed",
                             "Component Codes Removed",
                             "Key Files Removed",
                         });
  EXPECT_FALSE(log_has(lines, "BrandName:"));
  EXPECT_TRUE(log_has(lines, "RavelinLauncher.exe"));
  EXPECT_TRUE(log_has(lines, "HKCU\\Software\\vozadevuzad2"));
}

TEST_F(PurgelineEndToEnd, TwoProductsLeftKeepTheFrameworkAndTheUpdateService) {
  options.registered_products = {L"CVPRO", L"TOOLKIT", L"QLPRO"};
  install_and_run();
  expect_states({
      {"product.cfg registrations", "TOOLKIT, QLPRO"},
      {"service Corvane Update Service", "registered, running"},
      {"Ravelins\\RavelinSuiteService.exe", "present"},
      {"Ravelins\\Languages", "present (1 entries)"},
      {"ProgramData\\Ravelins\\Suite", "present (1 entries)"},
      // The product's own things go all the same.
      {"Uninstall\\Corvane", "absent"},
      {"ProgramData\\Corvane", "absent"},
  });
  expect_states(decoys());
  expect_in_order(lines, {"   number of products = 2", "**** Cleaning SOFTWARE registry ****"});
  EXPECT_FALSE(log_has(lines, "**** Let's remove Dizavad 3.1.x Code ****"));
}

TEST_F(PurgelineEndToEnd, DamagedProductListKeepsTheFramework) {
  options.damage_product_cfg = true;
  install_and_run();
  expect_states({
      {"product.cfg registrations", "unreadable"},
      {"service Corvane Update Service", "registered, running"},
      {"Ravelins\\RavelinSuiteService.exe", "present"},
      {"RavelinSuiteService.exe]", "2"},
      {"cvhtml.dll]", "1"},
      {"Uninstall\\Corvane", "absent"},
  });
  expect_states(decoys());
  EXPECT_FALSE(log_has(lines, "**** Let's remove Dizavad 3.1.x Code ****"));
  EXPECT_FALSE(log_has(lines, "Removed registry value"));
}

TEST_F(PurgelineEndToEnd, BrandFromTheCommandLineNamesProgramAndStartMenuFolders) {
  // A suite installed under another brand's folders: the command line names that brand.
  install_and_run("Acme Suite RavelinSuiteService.exe");
  expect_in_order(lines,
                  {"**** Search Corvane info ****",
                   "BrandName: Acme; SuiteName: Suite; ServiceName: RavelinSuiteService.exe."});
  // Steps 19 and 21 look under Acme, so the Ravelins Start-menu and program folders of the
  // product stay; the install location found in the Uninstall entry is still emptied.
  EXPECT_TRUE(log_has(
      lines, "Folder to remove '" + machine.common_programs + "\\Acme\\Corvane' does NOT EXIST !"));
  EXPECT_TRUE(log_has(
      lines, "Folder to remove '" + machine.program_files + "Acme\\Corvane' does NOT EXIST !"));
  expect_states(
      {{"ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Ravelins", "present (1 entries)"},
       {"Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Ravelins", "present (1 entries)"},
       {"Start Menu\\Programs\\Corvane", "absent"}});
}

TEST_F(PurgelineEndToEnd, MissingUninstallEntryLeavesTheFallbackLocationAndRunsOn) {
  install_and_run();  // first run removes the entry
  DeleteFileA(log_path().c_str());
  run_purgeline("");
  lines = log_texts();
  expect_in_order(
      lines, {"**** Search Corvane info ****", "ATTENTION: could not find keys about 'Corvane'",
              "**** Cleaning SOFTWARE registry ****", "**** Cleaning Installation Database ****"});
  EXPECT_TRUE(log_has(
      lines, "Folder to remove '" + machine.program_files + "Ravelins\\' does NOT EXIST !"));
}

bool service_registered(const wchar_t* name) {
  const replay::scoped_service_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  const replay::scoped_service_handle service(
      manager ? OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS) : nullptr);
  return static_cast<bool>(service);
}

bool folder_exists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A DisplayName of "." from the registry and a brand of ".." from the command line would widen
// the Start-menu removals to the Start Menu itself and the program folder removal to C:\Corvane;
// an install location with ".." would name another folder. All of them are kept and named in
// the log, and everything else of the suite still goes.
TEST_F(PurgelineEndToEnd, NamesThatAreNotPlainFolderNamesWidenNoRemoval) {
  seed::install_suite(options);
  const std::wstring entry = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";
  seed::set_string(HKEY_LOCAL_MACHINE, 0, entry, L"DisplayName", L".");
  // The product's entry is now found by this one's DisplayName only.
  const std::wstring located = entry + L" Location";
  seed::set_string(HKEY_LOCAL_MACHINE, 0, located, L"DisplayName", L"Corvane");
  seed::set_string(HKEY_LOCAL_MACHINE, 0, located, L"DisplayVersion", L"3.1.25");
  seed::set_string(HKEY_LOCAL_MACHINE, 0, located, L"InstallLocation",
                   L"C:\\Lantern\\Empty\\..\\Kept\\");
  CreateDirectoryA("C:\\Lantern\\Kept", nullptr);
  CreateDirectoryA("C:\\Corvane", nullptr);
  ASSERT_TRUE(test_support::make_file(L"C:\\Corvane\\keep.txt", ""));
  run_and_take_stock(".. Suite RavelinSuiteService.exe");

  EXPECT_TRUE(folder_exists(machine.common_programs));
  EXPECT_TRUE(folder_exists(machine.programs));
  EXPECT_TRUE(folder_exists("C:\\Lantern\\Kept"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Corvane\\keep.txt"));
  expect_states({
      {"ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Ravelins", "present (1 entries)"},
      {"Start Menu\\Programs\\Corvane", "present (1 entries)"},
      // The suite's own things that no such name names still go.
      {"Uninstall\\Corvane", "absent"},
      {"HKCU\\Software\\Corvane", "absent"},
      {"ProgramData\\Corvane", "absent"},
      {"Roaming\\Corvane", "absent"},
      {"service Corvane Update Service", "absent"},
      {"product.cfg registrations", "absent"},
      {"ProgramData\\Ravelins\\Suite", "absent"},
  });
  expect_states(decoys());
  EXPECT_TRUE(log_has(lines, "ATTENTION: display name '.' is not a plain folder name"));
  EXPECT_TRUE(log_has(lines, "ATTENTION: brand name '..' is not a plain folder name"));
  EXPECT_TRUE(log_has(lines, "ATTENTION: install location 'C:\\Lantern\\Empty\\..\\Kept\\' is"));
  RemoveDirectoryA("C:\\Lantern\\Kept");
  DeleteFileA("C:\\Corvane\\keep.txt");
  RemoveDirectoryA("C:\\Corvane");
}

// The update service is not registered under its name, so it is searched by its executable:
// another vendor's service that only names cvus.exe in an argument survives, the one that
// starts cvus.exe goes. A component of another product whose key file merely ends in a
// framework file name survives; the framework's own component goes.
TEST_F(PurgelineEndToEnd, ServicesAndComponentsOfOthersSurvive) {
  options.install_services = false;
  seed::install_suite(options);
  const std::string cvus = machine.dizavad + "Corvane\\cvus.exe";
  seed::install_service_command_line(L"Ravelins Updater", "\"" + cvus + "\"", true);
  seed::install_service_command_line(L"Lantern Update Service", "\"C:\\Lantern\\lnus.exe\"", true);
  seed::install_service_command_line(L"Lantern Watch", "C:\\Lantern\\lnus.exe /watch " + cvus,
                                     false);
  const std::wstring components =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
      L"Components\\";
  const std::wstring other = components + L"0F1E2D3C4B5A69788796A5B4C3D2E1F0";
  const std::wstring framework = components + L"1F2E3D4C5B6A79788796A5B4C3D2E1F0";
  seed::set_string(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, other, L"ABCDEF0123456789ABCDEF0123456789",
                   L"C:\\Lantern\\MyRavelinSuiteService.exe");
  seed::set_string(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, framework,
                   L"ABCDEF0123456789ABCDEF0123456789",
                   seed::wide(machine.dizavad + "RavelinSuiteService.exe"));
  also_the_suites = {
      "Ravelins Updater", "HKLM\\System\\CurrentControlSet\\Services\\Ravelins Updater",
      "HKLM\\System\\ControlSet001\\Services\\Ravelins Updater", "HKLM\\" + seed::ansi(framework)};
  run_and_take_stock("");

  EXPECT_TRUE(service_registered(L"Lantern Watch"));
  EXPECT_FALSE(service_registered(L"Ravelins Updater"));
  EXPECT_TRUE(seed::key_exists(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, other));
  EXPECT_FALSE(seed::key_exists(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, framework));
  expect_states(
      {{"Uninstall\\Corvane", "absent"}, {"Ravelins\\RavelinSuiteService.exe", "absent"}});
  expect_states(decoys());
  EXPECT_TRUE(log_has(lines, "Service found. Display Name: Ravelins Updater"));

  seed::delete_service(L"Lantern Watch");
  seed::delete_service(L"Ravelins Updater");
  seed::delete_tree(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, other);
}

// CVPRO was registered beside one other product and no TOOLKIT entry: one entry is left, and
// it is a product. The framework, its data with product.cfg, its counters and the update
// service stay; the product's own things go.
TEST_F(PurgelineEndToEnd, OneOtherProductLeftKeepsTheFramework) {
  options.registered_products = {L"CVPRO", L"QLPRO"};
  install_and_run();
  expect_states({
      {"product.cfg registrations", "QLPRO"},
      {"service Corvane Update Service", "registered, running"},
      {"Ravelins\\RavelinSuiteService.exe", "present"},
      {"Ravelins\\Languages", "present (1 entries)"},
      {"ProgramData\\Ravelins\\Suite", "present (1 entries)"},
      {"alice\\AppData\\Roaming\\Ravelins\\Suite", "present (1 entries)"},
      // The pass repairs no counter of a framework it keeps.
      {"RavelinSuiteService.exe]", "2"},
      {"Uninstall\\Corvane", "absent"},
      {"ProgramData\\Corvane", "absent"},
      {"Roaming\\Corvane", "absent"},
  });
  expect_states(decoys());
  expect_in_order(lines,
                  {"   number of products = 1", "   number of products that use Dizavad 3.1.x = 1",
                   "**** Cleaning SOFTWARE registry ****"});
  EXPECT_FALSE(log_has(lines, "Let's remove Dizavad"));
}

}  // namespace
