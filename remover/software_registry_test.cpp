#include "remover/software_registry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"

namespace {

using namespace test_support;

using lines = std::vector<std::string>;

const wchar_t kCode[] = L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}";
const std::string kEntryLine = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kRule(50, '=');

std::string ascii(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

// A machine with the product's Uninstall entries and Software keys, and decoys that stay.
class SoftwareRegistryTest : public testing::Test {
 protected:
  void TearDown() override {
    for (const std::wstring& entry : entries_) delete_tree(HKEY_LOCAL_MACHINE, 0, uninstall(entry));
    for (const auto& key : software_) delete_tree(key.first, 0, L"Software\\" + key.second);
  }
  void entry(const std::wstring& name, const wchar_t* display) {
    entries_.push_back(name);
    create_key(HKEY_LOCAL_MACHINE, 0, uninstall(name) + L"\\Sub");
    if (display) set_string(HKEY_LOCAL_MACHINE, 0, uninstall(name), L"DisplayName", display);
  }
  void product_entry(const wchar_t* code) {
    entry(L"Corvane", L"Corvane");
    if (code) set_string(HKEY_LOCAL_MACHINE, 0, uninstall(L"Corvane"), L"Product Code", code);
  }
  void software(HKEY root, const std::wstring& name) {
    software_.emplace_back(root, name);
    create_key(root, 0, L"Software\\" + name + L"\\Settings");
  }
  bool has_entry(const std::wstring& name) {
    return key_exists(HKEY_LOCAL_MACHINE, 0, uninstall(name));
  }
  bool has_software(HKEY root, const std::wstring& name) {
    return key_exists(root, 0, L"Software\\" + name);
  }
  std::vector<std::wstring> entries_;
  std::vector<std::pair<HKEY, std::wstring>> software_;
};

TEST_F(SoftwareRegistryTest, RemovesTheProductByNameCodeDisplayNameAndSoftwareKeys) {
  product_entry(kCode);
  entry(L"Corvane Toolbar", nullptr);
  entry(std::wstring(kCode) + L".Patch", L"Patch");
  entry(L"CvTestByDisplay", L"Corvane Helper");
  entry(L"CvTestCapitals", L"CORVANE Helper");
  entry(L"CvTestKeep", L"Other Product");
  software(HKEY_LOCAL_MACHINE, L"Corvane");
  software(HKEY_LOCAL_MACHINE, L"CvTestKeep");
  software(HKEY_CURRENT_USER, L"Corvane");
  software(HKEY_CURRENT_USER, L"VozadEvuzad2");
  software(HKEY_CURRENT_USER, L"CvTestKeep");
  captured_log log;
  clean_software_registry(L"Corvane");
  EXPECT_EQ((lines{"", "**** Cleaning SOFTWARE registry ****", kEntryLine + "Corvane",
                   kEntryLine + "Corvane Toolbar",
                   kEntryLine + "{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}.Patch",
                   kEntryLine + "CvTestByDisplay", "HKLM\\Software\\corvane",
                   "HKCU\\Software\\corvane", "HKCU\\Software\\vozadevuzad2", kRule}),
            log.texts());
  EXPECT_FALSE(has_entry(L"Corvane"));
  EXPECT_FALSE(has_entry(L"Corvane Toolbar"));
  EXPECT_FALSE(has_entry(std::wstring(kCode) + L".Patch"));
  EXPECT_FALSE(has_entry(L"CvTestByDisplay"));
  EXPECT_TRUE(has_entry(L"CvTestCapitals"));
  EXPECT_TRUE(has_entry(L"CvTestKeep"));
  EXPECT_FALSE(has_software(HKEY_LOCAL_MACHINE, L"Corvane"));
  EXPECT_TRUE(has_software(HKEY_LOCAL_MACHINE, L"CvTestKeep"));
  EXPECT_FALSE(has_software(HKEY_CURRENT_USER, L"Corvane"));
  EXPECT_FALSE(has_software(HKEY_CURRENT_USER, L"VozadEvuzad2"));
  EXPECT_TRUE(has_software(HKEY_CURRENT_USER, L"CvTestKeep"));
}

TEST_F(SoftwareRegistryTest, WithoutTheProductEntryOnlyDisplayNamesDecide) {
  entry(L"CorvaneNoDisplayName", nullptr);
  entry(L"CvTestByDisplay", L"Corvane");
  entry(L"CvTestCapitals", L"CORVANE");
  captured_log log;
  clean_software_registry(L"Corvane");
  EXPECT_EQ(
      (lines{"", "**** Cleaning SOFTWARE registry ****", kEntryLine + "CvTestByDisplay", kRule}),
      log.texts());
  EXPECT_TRUE(has_entry(L"CorvaneNoDisplayName"));
  EXPECT_FALSE(has_entry(L"CvTestByDisplay"));
  EXPECT_TRUE(has_entry(L"CvTestCapitals"));
}

TEST_F(SoftwareRegistryTest, WithoutProductCodeTheFallbackRemovesTheOwnEntry) {
  product_entry(nullptr);
  entry(L"Corvane Toolbar", nullptr);
  captured_log log;
  clean_software_registry(L"Corvane");
  EXPECT_EQ((lines{"", "**** Cleaning SOFTWARE registry ****",
                   "Removed HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                   "Uninstall\\Corvane",
                   kRule}),
            log.texts());
  EXPECT_FALSE(has_entry(L"Corvane"));
  EXPECT_TRUE(has_entry(L"Corvane Toolbar"));  // no DisplayName: phase 2 passes it over
}

TEST_F(SoftwareRegistryTest, EmptyProductCodeSelectsNothingByCode) {
  product_entry(L"");
  entry(L"CvTestKeep", L"Other Product");
  entry(L"CvTestKeepToo", nullptr);
  captured_log log;
  clean_software_registry(L"Corvane");
  EXPECT_EQ((lines{"", "**** Cleaning SOFTWARE registry ****", kEntryLine + "Corvane", kRule}),
            log.texts());
  EXPECT_TRUE(has_entry(L"CvTestKeep"));
  EXPECT_TRUE(has_entry(L"CvTestKeepToo"));
}

TEST_F(SoftwareRegistryTest, FailedPhaseOneDeletionStopsPhaseOne) {
  product_entry(kCode);
  entry(L"Corvane Toolbar", nullptr);
  lock_key(HKEY_LOCAL_MACHINE, 0, uninstall(L"Corvane Toolbar"));
  entry(kCode, L"Other Name");
  captured_log log;
  clean_software_registry(L"Corvane");
  EXPECT_EQ((lines{"", "**** Cleaning SOFTWARE registry ****", kEntryLine + "Corvane",
                   kEntryLine + "Corvane Toolbar", kRule}),
            log.texts());
  EXPECT_TRUE(has_entry(L"Corvane Toolbar"));
  EXPECT_TRUE(has_entry(kCode));  // not visited after the failure
}

TEST_F(SoftwareRegistryTest, FailedMachineDeletionLeavesTheUserPassIntact) {
  software(HKEY_LOCAL_MACHINE, L"Corvane");
  lock_key(HKEY_LOCAL_MACHINE, 0, L"Software\\Corvane\\Settings");
  software(HKEY_LOCAL_MACHINE, L"corvane2");  // sorts after it: not visited
  software(HKEY_CURRENT_USER, L"CORVANE");
  captured_log log;
  clean_software_registry(L"Corvane");
  EXPECT_EQ((lines{"", "**** Cleaning SOFTWARE registry ****", "HKLM\\Software\\corvane",
                   "HKCU\\Software\\corvane", kRule}),
            log.texts());
  EXPECT_TRUE(has_software(HKEY_LOCAL_MACHINE, L"Corvane"));
  EXPECT_TRUE(has_software(HKEY_LOCAL_MACHINE, L"corvane2"));
  EXPECT_FALSE(has_software(HKEY_CURRENT_USER, L"CORVANE"));
}

TEST_F(SoftwareRegistryTest, EmptyNameSelectsNothing) {
  entry(L"CvTestKeep", L"Other Product");
  software(HKEY_CURRENT_USER, L"CvTestKeep");
  captured_log log;
  clean_software_registry(L"");
  EXPECT_EQ((lines{"", "**** Cleaning SOFTWARE registry ****", kRule}), log.texts());
  EXPECT_TRUE(has_entry(L"CvTestKeep"));
  EXPECT_TRUE(has_software(HKEY_CURRENT_USER, L"CvTestKeep"));
}

// Only a whole GUID text chooses entries by prefix: "{" would choose every GUID-named entry.
TEST_F(SoftwareRegistryTest, ProductCodeThatIsNoGuidSelectsNothingByCode) {
  const std::wstring other = L"{9A8B7C6D-5E4F-4321-9876-FEDCBA987654}";
  for (const wchar_t* code : {L"{", L"{5D0B7C3E", L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F05G}",
                              L"5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056"}) {
    product_entry(code);
    entry(other, L"Other Product");
    entry(L"5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056 Keep", L"Other Product");
    captured_log log;
    clean_software_registry(L"Corvane");
    const std::string narrow_code = ascii(code);
    const lines texts = log.texts();
    EXPECT_TRUE(log.contains("ATTENTION: product code '" + narrow_code +
                             "' is not a GUID: no Uninstall entry is chosen by it"));
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), kEntryLine + "Corvane"));
    EXPECT_EQ(0, std::count(texts.begin(), texts.end(), kEntryLine + ascii(other)));
    EXPECT_FALSE(has_entry(L"Corvane"));  // the product's own entry still goes
    EXPECT_TRUE(has_entry(other));
    EXPECT_TRUE(has_entry(L"5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056 Keep"));
  }
}

}  // namespace
