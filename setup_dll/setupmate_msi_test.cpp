// Setupmate.dll inside real Windows Installer sessions: packages built from the example WiX
// source as shipped (tests/setupmate/setupmate_msi_test.sh) are installed, upgraded and removed
// with the prefix's msiexec, and the machine's state and the module log are checked after each
// step. The steps build on each other in the order written (one scenario: a failed install,
// install of version 1, major upgrade to version 2, a second product, removal of the first,
// removal of the last), since each msiexec run takes seconds.
#include <windows.h>

#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/text.h"

namespace {

using namespace test_support;

const wchar_t kOkClsid[] = L"{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E61}";
const wchar_t kFailClsid[] = L"{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E62}";
const wchar_t kCompany[] = L"Software\\Ravelins";
const wchar_t kPlugin[] = L"Software\\Ravelins\\RediroZiredodOravez";
const wchar_t kPlugins[] = L"Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins\\";
const wchar_t kSettings[] = L"Software\\Ravelins\\RediroZiredodOravez\\Settings";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kMarker[] = L"C:\\planted_program_ran.txt";

std::wstring shell_folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path), S_OK);
  return path;
}

std::wstring env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

// The regsvr32 that matches this program's (and so the DLL's) bitness.
std::wstring system_regsvr32() {
  wchar_t folder[MAX_PATH] = {};
  if (under_wow64()) {
    GetSystemWow64DirectoryW(folder, MAX_PATH);
  } else {
    GetSystemDirectoryW(folder, MAX_PATH);
  }
  return std::wstring(folder) + L"\\regsvr32.exe";
}

// --- registry views: the DLL and its COM servers have this program's bitness ---

constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
// 32-bit Windows has one view; the flags are ignored there.
bool has_two_views() {
  return sizeof(void*) == 8 || under_wow64();
}

bool class_registered(const wchar_t* clsid, REGSAM view) {
  replay::unique_hkey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid).c_str(), 0,
                       KEY_READ | view, key.receive()) == ERROR_SUCCESS;
}

// Registered in the view of its bitness (for the 32-bit server under WOW64, the Wow6432Node
// view) and not in the other.
void expect_class(const wchar_t* clsid, bool registered) {
  EXPECT_EQ(class_registered(clsid, kOwnView), registered) << utf8(clsid);
  if (has_two_views()) {
    EXPECT_FALSE(class_registered(clsid, kOtherView)) << utf8(clsid);
  }
}

void set_shared_dll(const std::wstring& path) {
  DWORD count = 1;
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedDlls, path.c_str(), REG_DWORD, &count,
                            sizeof(count)),
            ERROR_SUCCESS);
}

bool shared_dll_exists(const std::wstring& path) {
  return RegGetValueW(HKEY_LOCAL_MACHINE, kSharedDlls, path.c_str(), RRF_RT_ANY, nullptr, nullptr,
                      nullptr) == ERROR_SUCCESS;
}

// The "Version" value of the product's "Registered Plugins" entry, empty when there is none.
std::wstring registered_version(const std::wstring& product) {
  wchar_t version[64] = {};
  DWORD bytes = sizeof(version);
  if (RegGetValueW(HKEY_CURRENT_USER, (kPlugins + product).c_str(), L"Version", RRF_RT_REG_SZ,
                   nullptr, version, &bytes) != ERROR_SUCCESS) {
    return L"";
  }
  return version;
}

// The names of the installed products.
std::vector<std::wstring> installed_products() {
  std::vector<std::wstring> names;
  wchar_t product[39] = {};
  for (DWORD index = 0; MsiEnumProductsW(index, product) == ERROR_SUCCESS; ++index) {
    wchar_t name[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    MsiGetProductInfoW(product, L"InstalledProductName", name, &length);
    names.push_back(name);
  }
  return names;
}

bool installed(const wchar_t* name) {
  const std::vector<std::wstring> names = installed_products();
  return std::find(names.begin(), names.end(), name) != names.end();
}

void write_file(const std::wstring& path) {
  ASSERT_TRUE(make_file(path, "data")) << utf8(path);
}

size_t count_of(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// --- the installer ---

DWORD run_msiexec(const std::wstring& arguments) {
  DWORD start_error = 0;
  const DWORD exit_code = test_support::run_msiexec(arguments, &start_error);
  if (exit_code == test_support::kMsiexecNotStarted) {
    ADD_FAILURE() << "msiexec does not start: " << start_error;
  }
  return exit_code;
}

class SetupmateMsiTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_packages = env(L"SETUPMATE_MSI_DIR") + L"\\";
    s_plugin_dir = shell_folder(CSIDL_PROGRAM_FILES) + L"\\Ravelins\\RediroZiredodOravez\\";
    s_common = shell_folder(CSIDL_COMMON_APPDATA) + L"\\Ravelins\\RediroZiredodOravez\\";
    s_user = shell_folder(CSIDL_APPDATA) + L"\\Ravelins\\RediroZiredodOravez\\";
    const std::wstring profile = shell_folder(CSIDL_PROFILE);
    s_other_user = profile.substr(0, profile.rfind(L'\\') + 1) + L"setupmate_other" +
                   s_user.substr(profile.size());
  }
  static void TearDownTestSuite() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kCompany);
    RegDeleteKeyW(HKEY_CURRENT_USER, kCompany);
    for (const wchar_t* clsid : {kOkClsid, kFailClsid}) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid).c_str());
    }
    remove_forced(s_plugin_dir.substr(0, s_plugin_dir.size() - 21));  // ...\Ravelins
    remove_forced(s_common.substr(0, s_common.size() - 21));
    remove_forced(s_user.substr(0, s_user.size() - 21));
    remove_forced(s_other_user.substr(0, s_other_user.find(L"\\setupmate_other\\") + 16));
    DeleteFileW(kMarker);
  }

  // Installs (/i) or removes (/x) package NAME.msi, with a verbose installer log beside it.
  // The module log is emptied first so that each step reads only its own lines.
  DWORD msiexec(const wchar_t* option, const std::wstring& name) {
    DeleteFileW(module_log_path().c_str());
    const std::wstring package = s_packages + name + L".msi";
    const std::wstring log = s_packages + name + option[1] + L".log.txt";
    return run_msiexec(std::wstring(option) + L" \"" + package + L"\" /qn /l*v \"" + log + L"\"");
  }
  static std::wstring module_log_path() { return s_common + L"Logs\\Installer.log.txt"; }
  static std::string module_log() { return read_file(module_log_path()); }

  // What a product in use keeps: the file, its registration, the plug-in's keys and data.
  static void expect_plugin_kept() {
    EXPECT_TRUE(exists(s_plugin_dir + L"test_com_ok.dll"));
    expect_class(kOkClsid, true);
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, 0, kSettings));
    EXPECT_TRUE(exists(s_common + L"data.txt"));
    EXPECT_TRUE(exists(s_user + L"data.txt"));
  }

  static std::wstring s_packages, s_plugin_dir, s_common, s_user, s_other_user;
};
std::wstring SetupmateMsiTest::s_packages, SetupmateMsiTest::s_plugin_dir,
    SetupmateMsiTest::s_common, SetupmateMsiTest::s_user, SetupmateMsiTest::s_other_user;

TEST_F(SetupmateMsiTest, AFailedRegistrationWithoutProofRollsBack) {
  EXPECT_EQ(msiexec(L"/i", L"F"), static_cast<DWORD>(ERROR_INSTALL_FAILURE));

  EXPECT_NE(module_log().find("regsvr32 failed, and "
                              "'HKEY_CLASSES_ROOT\\CLSID\\{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E63}' "
                              "is not found\r\n"),
            std::string::npos)
      << module_log();
  // The server wrote its class key before it failed: the rollback action unregistered it.
  expect_class(kFailClsid, false);
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane Fail"));
}

TEST_F(SetupmateMsiTest, InstallRegistersWithTheSystemRegsvr32) {
  // A program named regsvr32 in the DLL's folder, which is regsvr32's working folder.
  SHCreateDirectoryExW(nullptr, s_plugin_dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((program_folder() + L"planted_program.exe").c_str(),
                        (s_plugin_dir + L"regsvr32.exe").c_str(), FALSE));
  DeleteFileW(kMarker);

  EXPECT_EQ(msiexec(L"/i", L"P1"), 0u);

  expect_class(kOkClsid, true);
  EXPECT_FALSE(exists(kMarker)) << "the planted regsvr32 ran";
  EXPECT_EQ(registered_version(L"Corvane"), L"1.0.0");
  EXPECT_TRUE(installed(L"Setupmate test P1"));
  const std::string log = module_log();
  const std::string launch = "launch_and_wait_for_exit_code: \"" + utf8(system_regsvr32()) +
                             "\" /s \"" + utf8(s_plugin_dir) + "test_com_ok.dll\"\r\n";
  EXPECT_NE(log.find(launch), std::string::npos) << log;
  EXPECT_NE(log.find("] exit_code: 0\r\n"), std::string::npos) << log;
  // Every line: time stamp, the level's marker, the process id in square brackets, a blank.
  const std::regex line("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d    \\[\\d+\\] [^\\r\\n]+");
  const std::string body = log.substr(log.rfind('\xBF') + 1);  // after the byte order mark
  ASSERT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0);
  size_t begin = 0;
  for (size_t end = body.find("\r\n"); end != std::string::npos; end = body.find("\r\n", begin)) {
    EXPECT_TRUE(std::regex_match(body.substr(begin, end - begin), line))
        << body.substr(begin, end - begin);
    begin = end + 2;
  }
  DeleteFileW((s_plugin_dir + L"regsvr32.exe").c_str());
}

TEST_F(SetupmateMsiTest, AMajorUpgradeKeepsThePlugin) {
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, kSettings));
  write_file(s_common + L"data.txt");
  write_file(s_user + L"data.txt");

  EXPECT_EQ(msiexec(L"/i", L"P2"), 0u);

  // Version 1 is gone; the entry, which both versions share, stays with version 2's value.
  // (Found by name: after Wine's removal of the old version, MsiEnumRelatedProducts finds no
  // product of the upgrade code at all, version 2 included.)
  EXPECT_FALSE(installed(L"Setupmate test P1"));
  EXPECT_TRUE(installed(L"Setupmate test P2"));
  EXPECT_EQ(registered_version(L"Corvane"), L"2.0.0");
  // Windows sets UPGRADINGPRODUCTCODE for the old version's removal, and its removal actions do
  // not run. Wine's installer does not set it: they run, find version 2 listed (the old version
  // goes after the new one is installed) and keep everything.
  const std::string log = module_log();
  EXPECT_EQ(log.find("is installed in 0 product(s)"), std::string::npos) << log;
  EXPECT_EQ(log.find("Remove Rediro Ziredod oravez files"), std::string::npos) << log;
  expect_plugin_kept();
}

TEST_F(SetupmateMsiTest, ASecondProductWhoseRegistrationIsProved) {
  EXPECT_EQ(msiexec(L"/i", L"R"), 0u);

  EXPECT_NE(
      module_log().find("] regsvr32 failed, but 'HKEY_CLASSES_ROOT\\CLSID\\" + utf8(kFailClsid) +
                        "' is there, so we assume that dll is registered\r\n"),
      std::string::npos)
      << module_log();
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane Mail"));
  expect_class(kFailClsid, true);
}

TEST_F(SetupmateMsiTest, UninstallWhileAnotherProductIsRegisteredKeepsThePlugin) {
  EXPECT_EQ(msiexec(L"/x", L"P2"), 0u);

  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane"));
  const std::string log = module_log();
  EXPECT_EQ(count_of(log, "] Rediro Ziredod oravez is installed in 1 product(s)\r\n"), 3u) << log;
  EXPECT_EQ(count_of(log, "] Remove Rediro Ziredod oravez reg keys\r\n"), 1u) << log;
  EXPECT_EQ(count_of(log, "Remove Rediro Ziredod oravez files"), 0u) << log;
  expect_plugin_kept();
  expect_class(kFailClsid, true);
}

TEST_F(SetupmateMsiTest, UninstallOfTheLastProductRemovesThePlugin) {
  // R lists ",...,test_com_ok.dll,,held.dll,missing.dll,test_com_fail.dll,": its names come only
  // after 2100 empty items. An x64 copy (looked for beside each listed file) with its counter, a
  // counter whose file is missing, a file held open without FILE_SHARE_DELETE.
  write_file(s_plugin_dir + L"x64\\test_com_ok.dll");
  write_file(s_plugin_dir + L"held.dll");
  for (const wchar_t* name :
       {L"test_com_ok.dll", L"x64\\test_com_ok.dll", L"missing.dll", L"test_com_fail.dll"}) {
    set_shared_dll(s_plugin_dir + name);
  }
  write_file(s_other_user + L"data.txt");
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, std::wstring(kCompany) + L"\\OtherProduct"));
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, std::wstring(kSettings) + L"\\Accounts"));
  replay::scoped_handle held(CreateFileW((s_plugin_dir + L"held.dll").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.is_valid());

  EXPECT_EQ(msiexec(L"/x", L"R"), 0u);
  held.reset();

  // Files: the listed ones, their x64 copies and SharedDLLs values, the emptied x64 folder; the
  // held file stays. (The module log went with the logs action, which runs last.)
  for (const wchar_t* name : {L"test_com_ok.dll", L"x64\\test_com_ok.dll", L"test_com_fail.dll"}) {
    EXPECT_FALSE(exists(s_plugin_dir + name)) << utf8(name);
  }
  for (const wchar_t* name :
       {L"test_com_ok.dll", L"x64\\test_com_ok.dll", L"missing.dll", L"test_com_fail.dll"}) {
    EXPECT_FALSE(shared_dll_exists(s_plugin_dir + name)) << utf8(name);
  }
  EXPECT_FALSE(exists(s_plugin_dir + L"x64"));
  EXPECT_TRUE(exists(s_plugin_dir + L"held.dll"));
  // COM registration: both servers unregistered, in the view of their bitness.
  expect_class(kOkClsid, false);
  expect_class(kFailClsid, false);
  // Registry: the plug-in's key goes; the company key stays for the other product.
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, 0, kPlugin));
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kCompany) + L"\\OtherProduct"));
  // Folders: the common data, this user's and another profile's.
  EXPECT_FALSE(exists(s_common));
  EXPECT_FALSE(exists(s_user));
  EXPECT_FALSE(exists(s_other_user));
}

}  // namespace
