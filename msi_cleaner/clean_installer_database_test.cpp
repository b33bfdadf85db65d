// The cleaning pass on real installer stores in the prefix's registry: the native variant in a
// 32-bit prefix, the WOW64 variant (64-bit view) in a 64-bit prefix, where decoys in the 32-bit
// view must stay untouched. These tests change HKLM and run alone.
#include "msi_cleaner/clean_installer_database.h"

#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "msi_cleaner/packed_guid.h"
#include "msi_cleaner/pass_journal.h"
#include "msi_cleaner/reg_delete_key_ex.h"
#include "msi_cleaner/wow64_process.h"
#include "replay/change/planned_changes.h"
#include "replay/registry2/key_name.h"
#include "testing/change_recorder.h"
#include "testing/failing_changes.h"
#include "testing/log_capture.h"
#include "testing/machine_snapshot.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"
#include "testing/text.h"

namespace {

using test_support::utf8;

const std::wstring kUpgradeCode = L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}";
const std::wstring kProduct1 = L"{C0A11E01-0000-4000-8000-000000000001}";
const std::wstring kProduct2 = L"{C0A11E02-0000-4000-8000-000000000002}";
const std::wstring kProduct3 = L"{C0A11E03-0000-4000-8000-000000000003}";
const std::wstring kOtherProduct = L"{C0A11E09-0000-4000-8000-000000000009}";
const std::wstring kComponent1 = L"{C0C00001-0000-4000-8000-0000000000C1}";
const std::wstring kComponent2 = L"{C0C00002-0000-4000-8000-0000000000C2}";
const std::wstring kComponent4 = L"{C0C00004-0000-4000-8000-0000000000C4}";
const std::wstring kComponent5 = L"{C0C00005-0000-4000-8000-0000000000C5}";
const std::wstring kComponent6 = L"{C0C00006-0000-4000-8000-0000000000C6}";
const std::wstring kNotAComponent = L"NotAComponent";

const std::wstring kClassesInstaller = L"Installer";
const std::wstring kStoreA = L"Software\\CorvaneTest\\StoreA";
const std::wstring kStoreAInstaller = kStoreA + L"\\Installer";
const std::wstring kSystemSid = L"S-1-5-18";
const std::wstring kUserSid = L"S-1-5-21-1-2-3-1001";
const std::wstring kSharedDlls = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const std::wstring kDir = L"C:\\Program Files\\CorvaneTest\\";
const std::wstring kLongName = std::wstring(330, L'x') + L".dll";
const std::string kRule50(50, '=');
const std::string kRule49(49, '=');
const std::wstring kJournal = L"Software\\CorvaneTest\\Journal";

std::wstring packed(const std::wstring& guid) {
  return pack_guid(guid);
}
std::wstring upgrade_key(const std::wstring& installer) {
  return installer + L"\\UpgradeCodes\\" + packed(kUpgradeCode);
}
std::wstring products_key(const std::wstring& installer, const std::wstring& product) {
  return installer + L"\\Products\\" + packed(product);
}
std::wstring components_key(const std::wstring& sid) {
  return kStoreAInstaller + L"\\UserData\\" + sid + L"\\Components";
}
std::wstring component_key(const std::wstring& sid, const std::wstring& component) {
  return components_key(sid) + L"\\" +
         (component == kNotAComponent ? component : packed(component));
}
// The installer writes the drive's colon as "?".
std::wstring stored(const std::wstring& path) {
  return path.substr(0, 1) + L"?" + path.substr(2);
}

std::string line(int number, const std::wstring& guid) {
  return std::to_string(number) + "  " + utf8(guid);
}

std::vector<std::string> headings_only(bool wow64) {
  std::vector<std::string> lines = {"**** Cleaning Installation Database ****", "",
                                    "Locating Windows Installer Root Stores", kRule50};
  if (wow64) lines.push_back("RegOpenKeyEx HKEY_CLASSES_ROOT\\Installer failed");
  for (const char* title :
       {"Upgrade Codes Removed", "Product Codes Removed", "Component Codes Removed",
        "Feature Codes Removed", "Patch Codes Removed", "Cached Packages Removed",
        "Icon Folders Removed", "Key Files Removed"}) {
    lines.push_back("");
    lines.push_back(title);
    lines.push_back(std::string(title) == "Upgrade Codes Removed" ? kRule50 : kRule49);
  }
  lines.push_back("");
  return lines;
}

// The log of a report-only pass: the same lines, with the section titles and the decrement lines
// saying what would be done.
std::vector<std::string> planned_form(std::vector<std::string> lines) {
  const std::string removed = " Removed";
  const std::string decremented = "is decremented to";
  for (std::string& text : lines) {
    if (text.size() > removed.size() &&
        text.compare(text.size() - removed.size(), removed.size(), removed) == 0) {
      text = text.substr(0, text.size() - removed.size()) + " Would Be Removed";
    }
    const std::string::size_type at = text.find(decremented);
    if (at != std::string::npos) text.replace(at, 2, "would be");
  }
  return lines;
}

// The name the registry gives the key at `path` (as changes name it).
std::wstring physical_name(HKEY root, REGSAM view, const std::wstring& path) {
  replay::unique_hkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.receive()) != ERROR_SUCCESS) {
    return path;
  }
  return replay::registry2::key_name(key.get());
}

replay::change value_deletion(const std::wstring& key, const std::wstring& name) {
  replay::change c;
  c.kind = replay::change_kind::delete_value;
  c.where = key;
  c.value = name;
  return c;
}

bool ends_with(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Runs the variant that the program uses in this prefix.
class CleanInstallerDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wow64_ = is_wow64_process();
    view_ = wow64_ ? KEY_WOW64_64KEY : 0;
    remove_seed();
  }
  void TearDown() override { remove_seed(); }

  void run_pass(const std::wstring& journal_key = std::wstring()) {
    installer_cleaner cleaner;
    cleaner.journal_key = journal_key;
    if (wow64_) {
      bind_reg_delete_key_ex();
      clean_installer_database_wow64(cleaner, kUpgradeCode);
    } else {
      clean_installer_database_native(cleaner, kUpgradeCode);
    }
  }

  // Two root stores hold the upgrade code: HKCR (also found as HKLM\Software\Classes) and StoreA.
  void seed(REGSAM view) {
    test_support::set_string(HKEY_CLASSES_ROOT, view, upgrade_key(kClassesInstaller),
                             packed(kProduct1), L"");
    test_support::create_key(HKEY_CLASSES_ROOT, view,
                             products_key(kClassesInstaller, kProduct1) + L"\\SourceList\\Media");
    seed_store_a(view);
  }

  void seed_store_a(REGSAM view) {
    const std::wstring codes = upgrade_key(kStoreAInstaller);
    for (const std::wstring& product : {kProduct1, kProduct2, kProduct3}) {
      test_support::set_string(HKEY_LOCAL_MACHINE, view, codes, packed(product), L"");
    }
    test_support::set_string(HKEY_LOCAL_MACHINE, view, codes, L"junk", L"");
    test_support::create_key(HKEY_LOCAL_MACHINE, view, products_key(kStoreAInstaller, kProduct2));
    test_support::create_key(
        HKEY_LOCAL_MACHINE, view,
        products_key(kStoreAInstaller + L"\\UserData\\" + kSystemSid, kProduct1));
    seed_components(view);
  }

  void seed_components(REGSAM view) {
    auto component = [&](const std::wstring& sid, const std::wstring& code,
                         const std::wstring& product, const std::wstring& data) {
      test_support::set_string(HKEY_LOCAL_MACHINE, view, component_key(sid, code), packed(product),
                               data);
    };
    component(kSystemSid, kComponent1, kProduct1, stored(kDir + L"one.dll"));
    component(kUserSid, kComponent1, kProduct1, stored(kDir + L"one.dll"));
    component(kSystemSid, kComponent2, kProduct2, stored(kDir + L"five.dll"));
    component(kSystemSid, kComponent2, kOtherProduct,
              stored(L"C:\\Program Files\\Other\\five.dll"));
    component(kSystemSid, kNotAComponent, kProduct1, stored(kDir + L"one.dll"));
    component(kSystemSid, kComponent4, kProduct1, stored(kDir + L"zero.dll"));
    component(kSystemSid, kComponent5, kProduct1, stored(kDir + kLongName));
    component(kSystemSid, kComponent6, kProduct1, L"");
    component(kSystemSid, kComponent6, kProduct2, L"X");
  }

  void seed_counters() {
    test_support::set_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"one.dll", 1);
    test_support::set_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"five.dll", 5);
    test_support::set_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"zero.dll", 0);
    test_support::set_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, truncated_long_path(), 7);
  }

  // What a 300-character buffer would make of the long key path.
  static std::wstring truncated_long_path() { return (kDir + kLongName).substr(0, 299); }

  void remove_seed() {
    for (REGSAM view : {view_, static_cast<REGSAM>(wow64_ ? KEY_WOW64_32KEY : 0)}) {
      test_support::delete_tree(HKEY_CLASSES_ROOT, view, upgrade_key(kClassesInstaller));
      test_support::delete_tree(HKEY_CLASSES_ROOT, view,
                                products_key(kClassesInstaller, kProduct1));
      for (const wchar_t* empty :
           {L"Installer\\UpgradeCodes", L"Installer\\Products", L"Installer"}) {
        RegDeleteKeyExW(HKEY_CLASSES_ROOT, empty, view, 0);  // only when empty
      }
      test_support::delete_tree(HKEY_LOCAL_MACHINE, view, L"Software\\CorvaneTest\\StoreA");
    }
    test_support::delete_tree(HKEY_LOCAL_MACHINE, 0, kJournal);
    for (const std::wstring& name :
         {kDir + L"one.dll", kDir + L"five.dll", kDir + L"zero.dll", truncated_long_path()}) {
      test_support::delete_value(HKEY_LOCAL_MACHINE, 0, kSharedDlls, name);
    }
  }

  bool exists(HKEY root, const std::wstring& path) {
    return test_support::key_exists(root, view_, path);
  }

  bool wow64_ = false;
  REGSAM view_ = 0;
};

TEST_F(CleanInstallerDatabaseTest, RemovesTheProductFromEveryStore) {
  seed(view_);
  if (wow64_) {
    // A value name longer than the 300-character buffer, enumerated before the product codes: it
    // is passed over and the enumeration goes on. (The registry layer of the native variant
    // refuses to list names this long.)
    test_support::set_string(HKEY_LOCAL_MACHINE, view_, upgrade_key(kStoreAInstaller),
                             std::wstring(400, L'0'), L"");
  }
  // Decoys in the 32-bit view (Wow6432Node). HKCR\Installer is one key shared by both views.
  if (wow64_) seed_store_a(KEY_WOW64_32KEY);
  seed_counters();
  test_support::captured_log log;

  run_pass();

  std::vector<std::string> expected = {"**** Cleaning Installation Database ****",
                                       "",
                                       "Locating Windows Installer Root Stores",
                                       kRule50,
                                       "Root: 1  HKCR",
                                       "Root: 2  HKLM\\Software\\Classes",
                                       "Root: 3  HKLM\\Software\\CorvaneTest\\StoreA",
                                       "UserData: 1  4  Installer",
                                       "UserData: 2  5  Installer",
                                       "UserData: 3  6  Installer",
                                       "UserData: 3  7  Installer\\UserData\\S-1-5-18",
                                       "UserData: 3  8  Installer\\UserData\\S-1-5-21-1-2-3-1001",
                                       "",
                                       "Upgrade Codes Removed",
                                       kRule50,
                                       line(1, kUpgradeCode),
                                       line(3, kUpgradeCode),
                                       "",
                                       "Product Codes Removed",
                                       kRule49,
                                       line(4, kProduct1),
                                       line(6, kProduct2),
                                       line(7, kProduct1),
                                       "",
                                       "Component Codes Removed",
                                       kRule49,
                                       line(7, kComponent1),
                                       line(7, kComponent4)};
  if (!wow64_) expected.push_back(line(7, kComponent5));  // its key path fits no 300-char buffer
  expected.insert(expected.end(),
                  {line(7, kComponent6), line(8, kComponent1), "", "Feature Codes Removed", kRule49,
                   "", "Patch Codes Removed", kRule49, "", "Cached Packages Removed", kRule49, "",
                   "Icon Folders Removed", kRule49, "", "Key Files Removed", kRule49});
  if (!wow64_) expected.push_back("  " + utf8(kDir) + "five.dll      is decremented to 4");
  expected.insert(expected.end(),
                  {"  " + utf8(kDir) + "one.dll", "  " + utf8(kDir) + "zero.dll", ""});
  EXPECT_EQ(expected, log.texts());

  EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, upgrade_key(kClassesInstaller)));
  EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, products_key(kClassesInstaller, kProduct1)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, upgrade_key(kStoreAInstaller)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, products_key(kStoreAInstaller, kProduct2)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, component_key(kSystemSid, kComponent1)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, component_key(kUserSid, kComponent1)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, component_key(kSystemSid, kComponent4)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, component_key(kSystemSid, kComponent6)));
  EXPECT_EQ(wow64_, exists(HKEY_LOCAL_MACHINE, component_key(kSystemSid, kComponent5)));

  // The shared component stays with the other product's value only.
  const std::wstring shared = component_key(kSystemSid, kComponent2);
  EXPECT_TRUE(test_support::value_exists(HKEY_LOCAL_MACHINE, view_, shared, packed(kOtherProduct)));
  EXPECT_FALSE(test_support::value_exists(HKEY_LOCAL_MACHINE, view_, shared, packed(kProduct2)));
  // A key that is no packed GUID is left alone.
  EXPECT_TRUE(test_support::value_exists(
      HKEY_LOCAL_MACHINE, view_, component_key(kSystemSid, kNotAComponent), packed(kProduct1)));

  // Counters 1 and 0 were the last references; 5 drops by one where the key file was collected.
  EXPECT_FALSE(test_support::value_exists(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"one.dll"));
  EXPECT_FALSE(test_support::value_exists(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"zero.dll"));
  EXPECT_EQ(wow64_ ? 5u : 4u,
            test_support::get_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"five.dll"));
  EXPECT_EQ(7u, test_support::get_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, truncated_long_path()));

  if (wow64_) {
    const REGSAM v32 = KEY_WOW64_32KEY;
    EXPECT_TRUE(test_support::key_exists(HKEY_LOCAL_MACHINE, v32, upgrade_key(kStoreAInstaller)));
    EXPECT_TRUE(test_support::key_exists(HKEY_LOCAL_MACHINE, v32,
                                         products_key(kStoreAInstaller, kProduct2)));
    EXPECT_TRUE(
        test_support::key_exists(HKEY_LOCAL_MACHINE, v32, component_key(kSystemSid, kComponent1)));
    EXPECT_TRUE(test_support::value_exists(
        HKEY_LOCAL_MACHINE, v32, component_key(kSystemSid, kComponent2), packed(kProduct2)));
  }
}

TEST_F(CleanInstallerDatabaseTest, WithoutRootStoresLogsOnlyTheHeadings) {
  test_support::captured_log log;
  run_pass();
  EXPECT_EQ(headings_only(wow64_), log.texts());
}

// The WOW64 variant checks its precondition in any prefix.
TEST_F(CleanInstallerDatabaseTest, Wow64VariantWithoutRegDeleteKeyExCleansNothing) {
  seed(view_);
  test_support::captured_log log;
  bind_reg_delete_key_ex();
  const reg_delete_key_ex_for_tests stand_in(nullptr);
  installer_cleaner cleaner;
  clean_installer_database_wow64(cleaner, kUpgradeCode);

  const std::vector<std::string> expected = {
      "**** Cleaning Installation Database ****",
      "Error in GetProcAddress of function for work with registry", kRule50, ""};
  EXPECT_EQ(expected, log.texts());
  EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, upgrade_key(kClassesInstaller)));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, component_key(kSystemSid, kComponent1)));
  EXPECT_EQ(nullptr, bound_reg_delete_key_ex());
}

// A store below a key the process may not read is never reached; the pass still runs to its end.
TEST_F(CleanInstallerDatabaseTest, PassesOverKeysThatCannotBeOpened) {
  const std::wstring locked = L"Software\\CorvaneTest\\StoreA\\Locked";
  test_support::create_key(HKEY_LOCAL_MACHINE, view_, upgrade_key(locked + L"\\Installer"));
  ASSERT_TRUE(test_support::set_dacl(HKEY_LOCAL_MACHINE, view_, locked,
                                     L"D:P(A;;0x40000;;;WD)"));  // WRITE_DAC only
  test_support::captured_log log;
  run_pass();
  EXPECT_EQ(headings_only(wow64_), log.texts());
  EXPECT_TRUE(test_support::set_dacl(HKEY_LOCAL_MACHINE, view_, locked, L"D:P(A;;KA;;;WD)"));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, upgrade_key(locked + L"\\Installer")));
}

// A root store whose paths do not fit the WOW64 form's 300-character buffer is passed over by
// the steps that would have to cut them short.
TEST_F(CleanInstallerDatabaseTest, Wow64VariantPassesOverPathsLongerThanItsBuffers) {
  if (!wow64_) GTEST_SKIP() << "the WOW64 variant runs in the 64-bit prefix";
  const std::wstring deep = kStoreA + L"\\" + std::wstring(250, L'z');
  test_support::set_string(HKEY_LOCAL_MACHINE, view_, upgrade_key(deep + L"\\Installer"),
                           packed(kProduct1), L"");
  test_support::captured_log log;
  run_pass();

  std::vector<std::string> expected = headings_only(true);
  expected.insert(expected.begin() + 5,
                  {"Root: 1  HKLM\\" + utf8(deep), "UserData: 1  2  Installer"});
  EXPECT_EQ(expected, log.texts());
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, upgrade_key(deep + L"\\Installer")));
}

LONG WINAPI refuse_upgrade_code(HKEY key, const wchar_t* subkey, REGSAM sam, DWORD reserved) {
  if (packed(kUpgradeCode) == subkey) return ERROR_ACCESS_DENIED;
  return RegDeleteKeyExW(key, subkey, sam, reserved);
}

TEST_F(CleanInstallerDatabaseTest, Wow64VariantLogsAFailedUpgradeCodeDeletion) {
  if (!wow64_) GTEST_SKIP() << "the WOW64 variant runs in the 64-bit prefix";
  test_support::set_string(HKEY_CLASSES_ROOT, view_, upgrade_key(kClassesInstaller),
                           packed(kProduct1), L"");
  test_support::captured_log log;
  bind_reg_delete_key_ex();
  const reg_delete_key_ex_for_tests stand_in(refuse_upgrade_code);
  installer_cleaner cleaner;
  clean_installer_database_wow64(cleaner, kUpgradeCode);

  std::vector<std::string> expected = {"**** Cleaning Installation Database ****",
                                       "",
                                       "Locating Windows Installer Root Stores",
                                       kRule50,
                                       "Root: 1  HKCR",
                                       "Root: 2  HKLM\\Software\\Classes",
                                       "UserData: 1  3  Installer",
                                       "UserData: 2  4  Installer",
                                       "",
                                       "Upgrade Codes Removed",
                                       kRule50,
                                       "Error 5",
                                       line(1, kUpgradeCode),
                                       "Error 5",
                                       line(2, kUpgradeCode)};
  for (const char* title :
       {"Product Codes Removed", "Component Codes Removed", "Feature Codes Removed",
        "Patch Codes Removed", "Cached Packages Removed", "Icon Folders Removed",
        "Key Files Removed"}) {
    expected.insert(expected.end(), {"", title, kRule49});
  }
  expected.push_back("");
  EXPECT_EQ(expected, log.texts());
  EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, upgrade_key(kClassesInstaller)));
}

// A report-only pass changes nothing, and plans in order exactly the changes that the real pass
// then makes on the same stores: every key of a tree child keys first, values, counters.
TEST_F(CleanInstallerDatabaseTest, AReportOnlyPassPlansExactlyWhatTheRealPassChanges) {
  seed(view_);
  if (wow64_) seed_store_a(KEY_WOW64_32KEY);
  seed_counters();
  const test_support::machine_snapshot before = test_support::take_machine_snapshot();
  replay::planned_changes planned;
  std::vector<std::string> planned_log;
  {
    replay::changes_scope scope(planned);
    test_support::captured_log log;
    run_pass();
    planned_log = log.texts();
  }
  for (const auto& change : test_support::compare(before, test_support::take_machine_snapshot())) {
    ADD_FAILURE() << change.text();
  }

  test_support::change_recorder made;
  test_support::captured_log log;
  run_pass();
  EXPECT_EQ(test_support::change_lines(planned.planned()), made.lines());
  EXPECT_EQ(planned_form(log.texts()), planned_log);
  ASSERT_FALSE(planned.planned().empty());
  // HKCR\Installer is named as the key it is, so its alias HKLM\Software\Classes\Installer
  // found as the second root plans nothing more.
  const replay::change& first = planned.planned().front();
  EXPECT_EQ(replay::change_kind::delete_key, first.kind);
  EXPECT_EQ(
      physical_name(HKEY_LOCAL_MACHINE, view_, L"Software\\Classes\\Installer\\UpgradeCodes") +
          L"\\" + packed(kUpgradeCode),
      first.where);
  EXPECT_EQ(wow64_ ? replay::registry_view::view_64 : replay::own_registry_view(), first.view);
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, products_key(kStoreAInstaller, kProduct2)));
}

// The journal of a run cut off after it removed the upgrade code names the products the real run
// would finish: a report-only pass reads it and reports the same removals, and leaves it as it
// is; the real pass then deletes it, past the change layer, as its own bookkeeping.
TEST_F(CleanInstallerDatabaseTest, AReportOnlyPassReadsACutOffRunsJournalAndLeavesIt) {
  test_support::create_key(HKEY_LOCAL_MACHINE, view_, kStoreAInstaller + L"\\UpgradeCodes");
  test_support::create_key(HKEY_LOCAL_MACHINE, view_, products_key(kStoreAInstaller, kProduct2));
  test_support::set_string(HKEY_LOCAL_MACHINE, view_, component_key(kSystemSid, kComponent2),
                           packed(kProduct2), stored(kDir + L"five.dll"));
  test_support::set_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"five.dll", 4);
  pass_journal journal;
  journal.product_codes.insert(packed(kProduct2));
  journal.key_files[kDir + L"five.dll"] = 4;
  write_pass_journal(kJournal, journal);

  const test_support::machine_snapshot before = test_support::take_machine_snapshot();
  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    test_support::captured_log log;
    run_pass(kJournal);
  }
  for (const auto& change : test_support::compare(before, test_support::take_machine_snapshot())) {
    ADD_FAILURE() << change.text();
  }

  test_support::change_recorder made;
  run_pass(kJournal);
  const std::vector<std::wstring> lines = test_support::change_lines(planned.planned());
  EXPECT_EQ(lines, made.lines());
  ASSERT_EQ(3u, lines.size());
  EXPECT_TRUE(ends_with(planned.planned()[1].where, L"\\" + packed(kComponent2)));
  EXPECT_EQ(L"4 -> 3", planned.planned()[2].detail);
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, products_key(kStoreAInstaller, kProduct2)));
  EXPECT_EQ(3u, test_support::get_dword(HKEY_LOCAL_MACHINE, 0, kSharedDlls, kDir + L"five.dll"));
  EXPECT_FALSE(test_support::key_exists(HKEY_LOCAL_MACHINE, 0, kJournal));
}

// A value that an earlier change deleted is gone for the component step. A component left with
// only the products' values then goes whole; one left with no values names no product and stays.
// The report-only pass judges both as the real pass does once the values are deleted.
TEST_F(CleanInstallerDatabaseTest, AComponentIsJudgedOnItsValuesAfterThePlannedChanges) {
  seed_store_a(view_);
  const std::wstring shared = component_key(kSystemSid, kComponent2);  // product 2 and another
  const std::wstring lone = component_key(kSystemSid, kComponent4);    // product 1 alone
  const std::vector<replay::change> earlier = {
      value_deletion(physical_name(HKEY_LOCAL_MACHINE, view_, shared), packed(kOtherProduct)),
      value_deletion(physical_name(HKEY_LOCAL_MACHINE, view_, lone), packed(kProduct1))};
  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    test_support::captured_log log;
    for (const replay::change& c : earlier) planned.make(c, nullptr);
    run_pass();
  }
  std::vector<replay::change> pass(planned.planned().begin() + earlier.size(),
                                   planned.planned().end());

  test_support::delete_value(HKEY_LOCAL_MACHINE, view_, shared, packed(kOtherProduct));
  test_support::delete_value(HKEY_LOCAL_MACHINE, view_, lone, packed(kProduct1));
  test_support::change_recorder made;
  run_pass();
  EXPECT_EQ(test_support::change_lines(pass), made.lines());
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, shared));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, lone));
  int shared_removals = 0;
  for (const replay::change& c : pass) {
    EXPECT_FALSE(ends_with(c.where, L"\\" + packed(kComponent4))) << utf8(c.text());
    if (c.kind == replay::change_kind::delete_key &&
        ends_with(c.where, L"\\" + packed(kComponent2))) {
      ++shared_removals;
    }
  }
  EXPECT_EQ(1, shared_removals);
}

// A key deletion that fails (here the upgrade code's, the first) is logged as ever, and the
// pass goes on with the products and components it found.
TEST_F(CleanInstallerDatabaseTest, AFailingKeyDeletionIsLoggedAndThePassGoesOn) {
  seed_store_a(view_);
  const test_support::failing_changes failing(1, ERROR_ACCESS_DENIED,
                                              replay::change_kind::delete_key);
  test_support::captured_log log;
  run_pass();

  const std::vector<std::string> lines = log.texts();
  auto section = [&](const std::string& title) {
    auto at = std::find(lines.begin(), lines.end(), title);
    EXPECT_NE(lines.end(), at) << title;
    std::vector<std::string> body;
    if (at == lines.end()) return body;
    for (at += 2; at != lines.end() && !at->empty(); ++at) body.push_back(*at);
    return body;
  };
  // The WOW64 variant logs the code returned and the code's line in any case; the native
  // variant logs a code only once it is removed.
  const std::vector<std::string> upgrade_lines =
      wow64_ ? std::vector<std::string>{"Error 5", line(1, kUpgradeCode)}
             : std::vector<std::string>();
  EXPECT_EQ(upgrade_lines, section("Upgrade Codes Removed"));
  EXPECT_EQ((std::vector<std::string>{line(2, kProduct2), line(3, kProduct1)}),
            section("Product Codes Removed"));
  EXPECT_FALSE(section("Component Codes Removed").empty());
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, upgrade_key(kStoreAInstaller)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, products_key(kStoreAInstaller, kProduct2)));
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, component_key(kSystemSid, kComponent1)));
}

}  // namespace
