// A product of the suite installed by the prefix's real msiexec from a real package (one feature,
// two components, an icon), beside another vendor's product installed the same way: Purgeline
// leaves the Windows Installer stores and folder as they were before the suite's product came,
// and the other product stays installed and uninstalls with msiexec. The packages are built by
// purgeline_msi_leftovers_test.sh; their folder is in CORVANE_LEFTOVER_PACKAGES.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/machine_snapshot.h"
#include "testing/registry_seed.h"
#include "testing/text.h"
#include "tests/purgeline_process.h"
#include "tests/report_check.h"
#include "tests/seed/suite_scope.h"

namespace {

using test_support::utf8;

// The suite's product (upgrade code {5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}) and the other one.
const std::wstring kProduct = L"{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4E51}";
const std::wstring kProductPacked = L"F3E2D1C7B5A4D6C4E8F9A0B1C2D3E415";
const std::wstring kOther = L"{8D2E3F40-5B6C-4D7E-9FA0-1B2C3D4E5F62}";
const std::wstring kOtherPacked = L"04F3E2D8C6B5E7D4F90AB1C2D3E4F526";
const std::wstring kUserData =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
const std::wstring kFeatures = L"SOFTWARE\\Classes\\Installer\\Features\\";

std::wstring env(const wchar_t* name) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

std::wstring windows_installer_folder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length) + L"\\Installer";
}

// Runs the prefix's msiexec (found on the search path) with `arguments`; its exit code.
DWORD msiexec(const std::wstring& arguments) {
  DWORD start_error = 0;
  const DWORD exit_code = test_support::run_msiexec(arguments, &start_error);
  if (exit_code == test_support::kMsiexecNotStarted) {
    ADD_FAILURE() << "msiexec does not start: " << start_error;
  }
  return exit_code;
}

DWORD install(const std::wstring& name) {
  const std::wstring folder = env(L"CORVANE_LEFTOVER_PACKAGES");
  return msiexec(L"/i \"" + folder + L"\\" + name + L".msi\" /qn /l*v \"" + folder + L"\\" + name +
                 L".log\"");
}

std::wstring local_package(const std::wstring& packed) {
  HKEY key = nullptr;
  std::wstring path = kUserData + packed + L"\\InstallProperties";
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  RegQueryValueExW(key, L"LocalPackage", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  return buffer;
}

bool key_exists(const std::wstring& path) {
  return test_support::key_exists(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, path);
}

bool file_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Where Windows Installer keeps what it knows of products: its registry stores (both views, HKCU,
// HKU) and its folder.
bool installer_item(const std::string& item) {
  std::string upper = item;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  return upper.find("\\INSTALLER") != std::string::npos;
}

TEST(PurgelineMsiLeftovers, TheProductLeavesNothingAndTheOtherProductStays) {
  ASSERT_FALSE(env(L"CORVANE_LEFTOVER_PACKAGES").empty());
  ASSERT_EQ(0u, install(L"other"));
  const test_support::machine_snapshot before = test_support::take_machine_snapshot();
  ASSERT_EQ(0u, install(L"corvane"));

  // What the prefix's msiexec writes for the product, which the run must take away.
  const std::wstring package = local_package(kProductPacked);
  const std::wstring other_package = local_package(kOtherPacked);
  ASSERT_FALSE(package.empty());
  EXPECT_TRUE(file_exists(package)) << utf8(package);
  EXPECT_TRUE(key_exists(kFeatures + kProductPacked));
  EXPECT_TRUE(file_exists(windows_installer_folder() + L"\\" + kProduct));

  // A report-only run changes nothing, and lists exactly what the real run then changes.
  const test_support::machine_snapshot installed = test_support::take_machine_snapshot();
  e2e::run_purgeline("/report");
  for (const test_support::machine_change& change : seed::without_run_noise(
           test_support::compare(installed, test_support::take_machine_snapshot()))) {
    ADD_FAILURE() << "a report-only run changed: " << change.text();
  }
  const std::vector<e2e::report_line> report = e2e::read_report(e2e::report_path());

  e2e::run_purgeline();
  const std::vector<std::string> lines = e2e::log_texts();
  e2e::expect_in_order(
      lines, {"Feature Codes Removed", "Cached Packages Removed", "  " + utf8(package),
              "Icon Folders Removed", "  " + utf8(windows_installer_folder() + L"\\" + kProduct)});

  const test_support::machine_snapshot after = test_support::take_machine_snapshot();
  const e2e::report_mismatch mismatch = e2e::compare_report(
      report, seed::without_run_noise(test_support::compare(installed, after)), installed);
  EXPECT_TRUE(mismatch.empty()) << mismatch.text();
  for (const test_support::machine_change& change : test_support::compare(before, after)) {
    if (installer_item(change.item)) ADD_FAILURE() << "left or changed: " << change.text();
  }
  EXPECT_FALSE(file_exists(package));

  // The other product is still installed, and its own uninstall takes it away.
  ASSERT_FALSE(other_package.empty());
  EXPECT_TRUE(file_exists(other_package));
  EXPECT_TRUE(key_exists(kFeatures + kOtherPacked));
  EXPECT_TRUE(file_exists(windows_installer_folder() + L"\\" + kOther));
  EXPECT_EQ(0u, msiexec(L"/x " + kOther + L" /qn"));
  EXPECT_FALSE(key_exists(kUserData + kOtherPacked));
  EXPECT_FALSE(key_exists(kFeatures + kOtherPacked));
}

}  // namespace

namespace {

// A second product of the suite. (The prefix's msiexec does not register a product again once
// it has been installed there before.)
const std::wstring kSecondProduct = L"{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4E52}";
const std::wstring kSecondPacked = L"F3E2D1C7B5A4D6C4E8F9A0B1C2D3E425";

// A run cut off once the product's registrations are gone, the name of its cached package with
// them, leaves the package to the next run, which removes it from the journal's record.
TEST(PurgelineMsiLeftovers, ARunAfterACutRemovesWhatTheRegistrationsNamed) {
  ASSERT_EQ(0u, install(L"corvane2"));
  const std::wstring package = local_package(kSecondPacked);
  ASSERT_FALSE(package.empty());

  ASSERT_TRUE(e2e::cut_purgeline_at("installer.component cleaned"));
  EXPECT_FALSE(key_exists(kUserData + kSecondPacked));
  EXPECT_TRUE(file_exists(package)) << utf8(package);

  e2e::run_purgeline();
  EXPECT_FALSE(file_exists(package)) << utf8(package);
  EXPECT_FALSE(key_exists(kFeatures + kSecondPacked));
  EXPECT_FALSE(file_exists(windows_installer_folder() + L"\\" + kSecondProduct));
}

}  // namespace
