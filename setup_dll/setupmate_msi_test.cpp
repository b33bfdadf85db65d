// Setupmate.dll inside real Windows Installer sessions: packages built from the example WiX
// source (tests/setupmate/setupmate_msi_test.sh) are installed and removed with the prefix's
// msiexec, and the machine's state and the module log are checked afterwards. The steps build on
// each other in the order written (two products installed, then removed one by one), since each
// msiexec run takes seconds.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/text.h"

namespace {

using namespace test_support;

const wchar_t kOkClsid[] = L"{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E61}";
const wchar_t kProofClsid[] = L"{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E62}";
const wchar_t kCompany[] = L"Software\\Ravelins";
const wchar_t kPlugin[] = L"Software\\Ravelins\\RediroZiredodOravez";
const wchar_t kPlugins[] = L"Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins\\";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kMarker[] = L"C:\\planted_program_ran.txt";

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

// --- registry and files of this process's view ---

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
  std::wstring command = L"msiexec.exe " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "msiexec does not start: " << GetLastError();
    return static_cast<DWORD>(-1);
  }
  const replay::scoped_handle thread(process.hThread);
  const replay::scoped_handle owner(process.hProcess);
  WaitForSingleObject(owner.get(), INFINITE);
  DWORD exit_code = static_cast<DWORD>(-1);
  GetExitCodeProcess(owner.get(), &exit_code);
  return exit_code;
}

class SetupmateMsiTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_packages = env(L"SETUPMATE_MSI_DIR") + L"\\";
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_COMMON_APPDATA, CSIDL_APPDATA, CSIDL_PROFILE}) {
      EXPECT_FALSE(shell_folder(csidl).empty()) << csidl;
    }
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
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kOkClsid).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kProofClsid).c_str());
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

  static std::wstring s_packages, s_plugin_dir, s_common, s_user, s_other_user;
};
std::wstring SetupmateMsiTest::s_packages, SetupmateMsiTest::s_plugin_dir,
    SetupmateMsiTest::s_common, SetupmateMsiTest::s_user, SetupmateMsiTest::s_other_user;

TEST_F(SetupmateMsiTest, RegistersWithTheSystemRegsvr32) {
  // A program named regsvr32 in the DLL's folder, which is regsvr32's working folder.
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, s_plugin_dir.c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_TRUE(CopyFileW((program_folder() + L"planted_program.exe").c_str(),
                        (s_plugin_dir + L"regsvr32.exe").c_str(), FALSE));
  DeleteFileW(kMarker);

  EXPECT_EQ(msiexec(L"/i", L"P"), 0u);

  EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, 0, std::wstring(L"CLSID\\") + kOkClsid));
  EXPECT_FALSE(exists(kMarker)) << "the planted regsvr32 ran";
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane"));
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

TEST_F(SetupmateMsiTest, AFailedRegistrationWithoutProofFailsTheInstallation) {
  EXPECT_EQ(msiexec(L"/i", L"F"), static_cast<DWORD>(ERROR_INSTALL_FAILURE));

  EXPECT_NE(module_log().find("regsvr32 failed, and "
                              "'HKEY_CLASSES_ROOT\\CLSID\\{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E63}' "
                              "is not found\r\n"),
            std::string::npos)
      << module_log();
  // Rolled back: neither the product's file nor its registry entry stays.
  EXPECT_FALSE(exists(s_plugin_dir + L"test_com_fail.dll"));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane Fail"));
}

TEST_F(SetupmateMsiTest, TwoOtherProductsKeepThePlugin) {
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane Mail"));
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane Backup"));
  write_file(s_plugin_dir + L"x64\\test_com_ok.dll");
  // (The installer itself keeps the counter of a file it installs: the x64 copy is not one.)
  set_shared_dll(s_plugin_dir + L"x64\\test_com_ok.dll");
  write_file(s_common + L"data.txt");
  write_file(s_user + L"data.txt");

  EXPECT_EQ(msiexec(L"/x", L"P"), 0u);

  const std::string log = module_log();
  EXPECT_EQ(count_of(log, "] Rediro Ziredod oravez is installed in 2 product(s)\r\n"), 3u) << log;
  EXPECT_EQ(count_of(log, "] Remove Rediro Ziredod oravez reg keys\r\n"), 1u) << log;
  EXPECT_EQ(count_of(log, "Remove Rediro Ziredod oravez files"), 0u) << log;
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kPlugins) + L"Corvane"));
  EXPECT_TRUE(exists(s_plugin_dir + L"x64\\test_com_ok.dll"));
  EXPECT_TRUE(shared_dll_exists(s_plugin_dir + L"x64\\test_com_ok.dll"));
  EXPECT_TRUE(exists(s_common + L"data.txt"));
  EXPECT_TRUE(exists(s_user + L"data.txt"));
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, 0, kPlugin));
}

TEST_F(SetupmateMsiTest, AFailedRegistrationWithItsProofKeyCounts) {
  RegDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(kPlugins) + L"Corvane Mail").c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(kPlugins) + L"Corvane Backup").c_str());
  EXPECT_TRUE(create_key(HKEY_CLASSES_ROOT, 0, std::wstring(L"CLSID\\") + kProofClsid));

  // Q's CustomActionData holds 2100 characters before HKCR_CHECK_SUBKEY: only a complete read
  // finds the key's name.
  EXPECT_EQ(msiexec(L"/i", L"Q"), 0u);

  EXPECT_NE(
      module_log().find("] regsvr32 failed, but 'HKEY_CLASSES_ROOT\\CLSID\\" + utf8(kProofClsid) +
                        "' is there, so we assume that dll is registered\r\n"),
      std::string::npos)
      << module_log();
}

TEST_F(SetupmateMsiTest, WithoutUsersThePluginGoes) {
  // Q lists ",test_com_ok.dll,,held.dll,missing.dll,test_com_fail.dll,".
  write_file(s_plugin_dir + L"test_com_ok.dll");
  write_file(s_plugin_dir + L"held.dll");
  for (const wchar_t* name : {L"test_com_ok.dll", L"x64\\test_com_ok.dll", L"missing.dll"}) {
    set_shared_dll(s_plugin_dir + name);
  }
  write_file(s_other_user + L"data.txt");
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, std::wstring(kCompany) + L"\\OtherProduct"));
  EXPECT_TRUE(create_key(HKEY_CURRENT_USER, 0, std::wstring(kPlugin) + L"\\Settings\\Accounts"));
  // Held open without FILE_SHARE_DELETE: it cannot be deleted while the installer runs.
  replay::scoped_handle held(CreateFileW((s_plugin_dir + L"held.dll").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);

  EXPECT_EQ(msiexec(L"/x", L"Q"), 0u);
  held.reset();

  const std::string log = module_log();
  // Files: both folders, their SharedDLLs values, the emptied x64 folder.
  for (const wchar_t* name : {L"test_com_ok.dll", L"x64\\test_com_ok.dll", L"test_com_fail.dll"}) {
    EXPECT_FALSE(exists(s_plugin_dir + name)) << utf8(name);
    EXPECT_NE(log.find("]    " + utf8(s_plugin_dir + name) + " removed\r\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("] Regsvr32 for " + utf8(s_plugin_dir + name) + " completed (exit code: "),
              std::string::npos);
  }
  for (const wchar_t* name : {L"test_com_ok.dll", L"x64\\test_com_ok.dll", L"missing.dll"}) {
    EXPECT_FALSE(shared_dll_exists(s_plugin_dir + name)) << utf8(name);
  }
  EXPECT_FALSE(exists(s_plugin_dir + L"x64"));
  EXPECT_TRUE(exists(s_plugin_dir + L"held.dll"));
  EXPECT_NE(log.find("] FAILED TO remove '" + utf8(s_plugin_dir) + "held.dll': 32 !\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("missing.dll completed"), std::string::npos);
  // Folders: the data of every profile and the common data went with the logs action (it runs
  // first in Q, and the later actions started a new module log).
  EXPECT_FALSE(exists(s_user));
  EXPECT_FALSE(exists(s_other_user));
  EXPECT_FALSE(exists(s_common + L"data.txt"));
  // Registry: the plug-in's key goes; the company key stays for the other product, logged.
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, 0, kPlugin));
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, 0, std::wstring(kCompany) + L"\\OtherProduct"));
  EXPECT_NE(log.find("] remove_mutual_plugin_regkeys exception: registry2.key_error[RegDeleteKey() "
                     "failed: key \"Ravelins\" (5)]\r\n"),
            std::string::npos)
      << log;
}

}  // namespace
