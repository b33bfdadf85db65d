// The products' leftovers beside their registrations, on seeded installer stores in the prefix's
// registry (the 64-bit view under WOW64) and real files in the prefix's Windows Installer folder.
// What belongs to another product, or cannot be shown to be the products' own plain file, stays.
// These tests change HKLM and the Windows folder and run alone.
#include "msi_cleaner/installer_leftovers.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "msi_cleaner/packed_guid.h"
#include "msi_cleaner/wow64_process.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/registry_seed.h"
#include "testing/text.h"

namespace {

using replay::registry2::name_set;
using test_support::utf8;

const std::wstring kProduct = L"{C0A11E01-0000-4000-8000-0000000000A1}";
const std::wstring kOther = L"{C0A11E09-0000-4000-8000-0000000000A9}";
const std::wstring kPatch = L"{C0B00001-0000-4000-8000-0000000000B1}";
const std::wstring kSharedPatch = L"{C0B00002-0000-4000-8000-0000000000B2}";
const std::wstring kInstaller = L"Software\\CorvaneTest\\Leftovers\\Installer";
const std::wstring kUserData = kInstaller + L"\\UserData\\S-1-5-18";
const std::wstring kFolders = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";

std::wstring packed(const std::wstring& guid) {
  return pack_guid(guid);
}

std::wstring windows_folder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

std::string line(int number, const std::wstring& guid) {
  return std::to_string(number) + "  " + utf8(guid);
}

// The lines of one section of the log, between its rule and the next empty line.
std::vector<std::string> section(const std::vector<std::string>& lines, const std::string& title) {
  std::vector<std::string> body;
  auto at = std::find(lines.begin(), lines.end(), title);
  if (at == lines.end()) return {"(no section " + title + ")"};
  for (at += 2; at != lines.end() && !at->empty(); ++at) body.push_back(*at);
  return body;
}

class InstallerLeftoversTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wow64_ = is_wow64_process();
    view_ = wow64_ ? KEY_WOW64_64KEY : 0;
    if (wow64_) bind_reg_delete_key_ex();
    installer_ = windows_folder() + L"\\Installer";
    created_installer_ = CreateDirectoryW(installer_.c_str(), nullptr) != FALSE;
    remove_seed();
  }
  void TearDown() override {
    remove_seed();
    if (created_installer_) RemoveDirectoryW(installer_.c_str());
  }

  // Store 1 is the per-machine Installer key, store 2 its UserData store, as the pass holds them.
  leftover_stores stores() {
    if (wow64_) {
      stores_paths_ = {{1, L"HKLM\\" + kInstaller}, {2, L"HKLM\\" + kUserData}};
      return wow64_leftover_stores(stores_paths_, bound_reg_delete_key_ex());
    }
    stores_keys_.clear();
    stores_keys_.push_back({1, replay::registry2::key(HKEY_LOCAL_MACHINE).open(kInstaller)});
    stores_keys_.push_back({2, replay::registry2::key(HKEY_LOCAL_MACHINE).open(kUserData)});
    return native_leftover_stores(stores_keys_);
  }

  std::wstring file(const std::wstring& name) { return installer_ + L"\\" + name; }
  std::wstring icon_folder(const std::wstring& product) { return file(product); }

  void set_local_package(const std::wstring& tail, const std::wstring& path) {
    test_support::set_string(HKEY_LOCAL_MACHINE, view_, kUserData + L"\\" + tail, L"LocalPackage",
                             path);
  }
  void set_product_package(const std::wstring& product, const std::wstring& path) {
    set_local_package(L"Products\\" + packed(product) + L"\\InstallProperties", path);
  }

  // The product and another product, each with features, a cached package, patches and icons;
  // one patch is applied to both.
  void seed() {
    for (const std::wstring& product : {kProduct, kOther}) {
      test_support::set_string(HKEY_LOCAL_MACHINE, view_,
                               kInstaller + L"\\Features\\" + packed(product), L"Main", L"");
      test_support::set_string(HKEY_LOCAL_MACHINE, view_,
                               kInstaller + L"\\Products\\" + packed(product) + L"\\Patches",
                               packed(kSharedPatch), L"");
      test_support::create_key(HKEY_LOCAL_MACHINE, view_,
                               kUserData + L"\\Products\\" + packed(product) + L"\\Features");
      test_support::make_file(icon_folder(product) + L"\\icon.ico");
      test_support::set_string(HKEY_LOCAL_MACHINE, view_, kFolders, icon_folder(product) + L"\\",
                               L"");
    }
    test_support::make_folder(icon_folder(kProduct) + L"\\sub");
    test_support::make_file(icon_folder(kProduct) + L"\\sub\\more.ico");
    set_product_package(kProduct, file(L"cvtest1.msi"));
    set_product_package(kOther, file(L"cvother.msi"));
    test_support::create_key(
        HKEY_LOCAL_MACHINE, view_,
        kUserData + L"\\Products\\" + packed(kProduct) + L"\\Patches\\" + packed(kPatch));
    for (const std::wstring& store : {kInstaller, kUserData}) {
      test_support::create_key(HKEY_LOCAL_MACHINE, view_,
                               store + L"\\Patches\\" + packed(kPatch) + L"\\Sub");
      test_support::create_key(HKEY_LOCAL_MACHINE, view_,
                               store + L"\\Patches\\" + packed(kSharedPatch));
    }
    set_local_package(L"Patches\\" + packed(kPatch), file(L"cvtest1.msp"));
    set_local_package(L"Patches\\" + packed(kSharedPatch), file(L"cvshared.msp"));
    for (const wchar_t* name : {L"cvtest1.msi", L"cvother.msi", L"cvtest1.msp", L"cvshared.msp"}) {
      test_support::make_file(file(name));
    }
  }

  // What the product step does to the product's registrations before the leftovers go.
  void remove_product_registrations() {
    for (const std::wstring& store : {kInstaller, kUserData}) {
      test_support::delete_tree(HKEY_LOCAL_MACHINE, view_,
                                store + L"\\Products\\" + packed(kProduct));
    }
  }

  void remove_seed() {
    test_support::delete_tree(HKEY_LOCAL_MACHINE, view_, L"Software\\CorvaneTest\\Leftovers");
    for (const std::wstring& product : {kProduct, kOther}) {
      test_support::delete_value(HKEY_LOCAL_MACHINE, view_, kFolders, icon_folder(product) + L"\\");
      DeleteFileW((icon_folder(product) + L"\\sub\\more.ico").c_str());
      RemoveDirectoryW((icon_folder(product) + L"\\sub").c_str());
      DeleteFileW((icon_folder(product) + L"\\icon.ico").c_str());
      RemoveDirectoryW(icon_folder(product).c_str());
    }
    for (const wchar_t* name : {L"cvtest1.msi", L"cvother.msi", L"cvtest1.msp", L"cvshared.msp",
                                L"cvtwo.msi", L"cvtwo-second.msi", L"cvtest.txt"}) {
      DeleteFileW(file(name).c_str());
    }
    DeleteFileW((installer_ + L"\\cvsub\\cvtest.msi").c_str());
    RemoveDirectoryW((installer_ + L"\\cvsub").c_str());
    DeleteFileW((windows_folder() + L"\\cvoutside.msi").c_str());
  }

  bool key_exists(const std::wstring& path) {
    return test_support::key_exists(HKEY_LOCAL_MACHINE, view_, path);
  }

  bool wow64_ = false;
  REGSAM view_ = 0;
  std::wstring installer_;
  bool created_installer_ = false;
  key_stores stores_keys_;
  path_stores stores_paths_;
};

TEST_F(InstallerLeftoversTest, RemovesWhatOnlyTheProductUsesAndKeepsWhatOthersUse) {
  seed();
  const name_set products = {packed(kProduct)};
  pass_journal journal;
  const leftover_stores held = stores();
  find_installer_leftovers(held, products, journal);
  EXPECT_EQ((name_set{packed(kPatch), packed(kSharedPatch)}), journal.patch_codes);
  EXPECT_EQ((name_set{file(L"cvtest1.msi"), file(L"cvtest1.msp"), file(L"cvshared.msp")}),
            journal.cached_files);

  remove_product_registrations();
  test_support::captured_log log;
  remove_installer_leftovers(held, products, journal);
  const std::vector<std::string> lines = log.texts();

  EXPECT_EQ(std::vector<std::string>{line(1, kProduct)}, section(lines, "Feature Codes Removed"));
  EXPECT_EQ((std::vector<std::string>{
                line(1, kPatch), line(2, kPatch),
                "  " + utf8(kSharedPatch) + "      is kept: another product lists it"}),
            section(lines, "Patch Codes Removed"));
  EXPECT_EQ((std::vector<std::string>{
                "  " + utf8(file(L"cvshared.msp")) + "      is kept: another product names it",
                "  " + utf8(file(L"cvtest1.msi")), "  " + utf8(file(L"cvtest1.msp"))}),
            section(lines, "Cached Packages Removed"));
  EXPECT_EQ((std::vector<std::string>{"  " + utf8(icon_folder(kProduct)),
                                      "  " + utf8(icon_folder(kProduct)) + "\\"}),
            section(lines, "Icon Folders Removed"));

  // The product's own things are gone.
  EXPECT_FALSE(key_exists(kInstaller + L"\\Features\\" + packed(kProduct)));
  EXPECT_FALSE(key_exists(kInstaller + L"\\Patches\\" + packed(kPatch)));
  EXPECT_FALSE(key_exists(kUserData + L"\\Patches\\" + packed(kPatch)));
  EXPECT_FALSE(test_support::exists(file(L"cvtest1.msi")));
  EXPECT_FALSE(test_support::exists(file(L"cvtest1.msp")));
  EXPECT_FALSE(test_support::exists(icon_folder(kProduct)));
  EXPECT_FALSE(test_support::value_exists(HKEY_LOCAL_MACHINE, view_, kFolders,
                                          icon_folder(kProduct) + L"\\"));
  // The other product's, and the patch it shares, stay.
  EXPECT_TRUE(key_exists(kInstaller + L"\\Features\\" + packed(kOther)));
  EXPECT_TRUE(key_exists(kInstaller + L"\\Patches\\" + packed(kSharedPatch)));
  EXPECT_TRUE(key_exists(kUserData + L"\\Patches\\" + packed(kSharedPatch)));
  EXPECT_TRUE(test_support::exists(file(L"cvother.msi")));
  EXPECT_TRUE(test_support::exists(file(L"cvshared.msp")));
  EXPECT_TRUE(test_support::exists(icon_folder(kOther) + L"\\icon.ico"));
  EXPECT_TRUE(
      test_support::value_exists(HKEY_LOCAL_MACHINE, view_, kFolders, icon_folder(kOther) + L"\\"));
}

// A run cut off after the product's registrations went still has the cached package's name in
// its journal, and removes the file.
TEST_F(InstallerLeftoversTest, AJournaledPackageGoesWhenItsRegistrationIsGone) {
  seed();
  remove_product_registrations();
  pass_journal journal;
  journal.cached_files = {file(L"cvtest1.msi")};
  test_support::captured_log log;
  remove_installer_leftovers(stores(), {packed(kProduct)}, journal);
  EXPECT_FALSE(test_support::exists(file(L"cvtest1.msi")));
  EXPECT_TRUE(test_support::exists(file(L"cvother.msi")));
}

// A name the product's registration gives that is not a plain package of its own in the Windows
// Installer folder is kept, with the reason. (Wine cannot make a Windows link; a Unix link in the
// prefix shows as its target and is caught by the path of the opened file, not tested here.)
TEST_F(InstallerLeftoversTest, KeepsWhatIsNotThePackagesOwnPlainFile) {
  seed();
  test_support::make_folder(installer_ + L"\\cvsub");
  test_support::make_file(installer_ + L"\\cvsub\\cvtest.msi");
  test_support::make_file(windows_folder() + L"\\cvoutside.msi");
  test_support::make_file(file(L"cvtest.txt"));
  test_support::make_file(file(L"cvtwo.msi"));
  ASSERT_TRUE(
      CreateHardLinkW(file(L"cvtwo-second.msi").c_str(), file(L"cvtwo.msi").c_str(), nullptr));
  struct kept_case {
    std::wstring path;
    std::string why;
  };
  const std::vector<kept_case> cases = {
      {installer_ + L"\\cvsub\\cvtest.msi",
       "is kept: it is not a package directly in the Windows Installer folder"},
      {windows_folder() + L"\\cvoutside.msi",
       "is kept: it is not a package directly in the Windows Installer folder"},
      {installer_ + L"\\..\\cvoutside.msi",
       "is kept: it is not a package directly in the Windows Installer folder"},
      {file(L"cvtest.txt"),
       "is kept: it is not a package directly in the Windows Installer folder"},
      {file(L"cvtwo.msi"), "is kept: it has more than one name"},
      {file(L"cvsub.msi"), ""},  // not there: nothing to say
      {file(L"cvother.msi"), "is kept: another product names it"},
  };
  remove_product_registrations();
  for (const kept_case& c : cases) {
    pass_journal journal;
    journal.cached_files = {c.path};
    test_support::captured_log log;
    remove_installer_leftovers(stores(), {packed(kProduct)}, journal);
    const std::vector<std::string> expected =
        c.why.empty() ? std::vector<std::string>()
                      : std::vector<std::string>{"  " + utf8(c.path) + "      " + c.why};
    EXPECT_EQ(expected, section(log.texts(), "Cached Packages Removed")) << utf8(c.path);
  }
  for (const std::wstring& path :
       {installer_ + L"\\cvsub\\cvtest.msi", windows_folder() + L"\\cvoutside.msi",
        file(L"cvtest.txt"), file(L"cvtwo.msi"), file(L"cvtwo-second.msi"), file(L"cvother.msi")}) {
    EXPECT_TRUE(test_support::exists(path)) << utf8(path);
  }
}

// The names of the cached files and the patch codes survive a cut in the journal; what is read
// back is checked like anything else read from the machine.
TEST(InstallerLeftoversJournal, KeepsCachedFilesAndPatchCodesForTheNextRun) {
  const std::wstring path = L"Software\\CorvaneTest\\LeftoversJournal";
  pass_journal journal;
  journal.product_codes = {packed(kProduct)};
  journal.patch_codes = {packed(kPatch)};
  journal.cached_files = {L"C:\\windows\\Installer\\4b77.msi"};
  write_pass_journal(path, journal);
  test_support::set_string(HKEY_LOCAL_MACHINE, 0, path + L"\\Patch codes", L"not a code", L"");
  test_support::set_string(HKEY_LOCAL_MACHINE, 0, path + L"\\Cached files", L"relative.msi", L"");

  const pass_journal read = read_pass_journal(path);
  delete_pass_journal(path);
  test_support::delete_tree(HKEY_LOCAL_MACHINE, 0, L"Software\\CorvaneTest\\LeftoversJournal");
  EXPECT_EQ(journal.patch_codes, read.patch_codes);
  EXPECT_EQ(journal.cached_files, read.cached_files);
}

TEST(CachedFileName, IsOnePlainPackageNameDirectlyInTheFolder) {
  const std::wstring folder = L"C:\\windows\\Installer";
  const std::vector<std::pair<std::wstring, std::wstring>> cases = {
      {L"C:\\windows\\Installer\\4b77.msi", L"4b77.msi"},
      {L"c:\\WINDOWS\\installer\\4B77.MSP", L"4B77.MSP"},
      {L"C:\\windows\\Installer\\sub\\4b77.msi", L""},
      {L"C:\\windows\\Installer\\..\\4b77.msi", L""},
      {L"C:\\windows\\Installer\\4b77.msi:stream", L""},
      {L"C:\\windows\\Installer\\4b77.msi.", L""},
      {L"C:\\windows\\Installer\\4b77.exe", L""},
      {L"C:\\windows\\Installer\\", L""},
      {L"C:\\windows\\Installerx\\4b77.msi", L""},
      {L"4b77.msi", L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.second, cached_file_name(c.first, folder)) << utf8(c.first);
}

}  // namespace
