// The exports of the built Setupmate.dll, called in-process with an installer handle that reads
// no CustomActionData (the empty and missing cases), against a scratch HKEY_CURRENT_USER.
#include <windows.h>

#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "replay/log/test_folder.h"
#include "setup_dll/test_support.h"

namespace {

using custom_action = UINT(__stdcall*)(MSIHANDLE);

const wchar_t kScratch[] = L"Software\\CorvaneTest\\setupmate_exports";

std::wstring module_log_path() {
  wchar_t common[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
  return std::wstring(common) + L"\\Ravelins\\RediroZiredodOravez\\Logs\\Installer.log.txt";
}

class SetupmateExportsTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    create_key(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kScratch, 0, KEY_ALL_ACCESS, &m_scratch),
              ERROR_SUCCESS);
    // The DLL is loaded before HKEY_CURRENT_USER is redirected, as its folders come from it.
    m_dll = LoadLibraryW((program_folder() + L"Setupmate.dll").c_str());
    ASSERT_NE(m_dll, nullptr);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_scratch), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (m_dll != nullptr) FreeLibrary(m_dll);  // closes the module log
    DeleteFileW(module_log_path().c_str());
    RegCloseKey(m_scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  }

  UINT call(const char* name) {
    auto action =
        reinterpret_cast<custom_action>(reinterpret_cast<void (*)()>(GetProcAddress(m_dll, name)));
    EXPECT_NE(action, nullptr) << name;
    return action == nullptr ? 0xFFFFFFFF : action(0);
  }

  HKEY m_scratch = nullptr;
  HMODULE m_dll = nullptr;
};

TEST_F(SetupmateExportsTest, MissingDataRegistersNothingAndFails) {
  // regsvr32 fails on the empty name, and the empty proof key proves nothing (opening it would
  // open HKEY_CLASSES_ROOT itself).
  EXPECT_EQ(call("register_dll_wi"), static_cast<UINT>(ERROR_INSTALL_FAILURE));
  const std::string log = read_file(module_log_path());
  EXPECT_NE(log.find("regsvr32.exe\" /s \"\"\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] regsvr32 failed, and 'HKEY_CLASSES_ROOT\\' is not found\r\n"),
            std::string::npos)
      << log;
}

TEST_F(SetupmateExportsTest, MissingDirRemovesNoFile) {
  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  const std::string log = read_file(module_log_path());
  EXPECT_NE(log.find("] Remove Rediro Ziredod oravez files\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] DIR is not given: no file is removed\r\n"), std::string::npos) << log;
}

TEST_F(SetupmateExportsTest, TheEmptyCompanyKeyGoesWithThePluginKey) {
  create_key(m_scratch, L"Software\\Ravelins\\RediroZiredodOravez\\Settings");
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);
  EXPECT_FALSE(key_exists(m_scratch, L"Software\\Ravelins"));
  EXPECT_TRUE(key_exists(m_scratch, L"Software"));
}

TEST_F(SetupmateExportsTest, ACompanyKeyWithAnotherProductStays) {
  create_key(m_scratch, L"Software\\Ravelins\\RediroZiredodOravez\\Settings\\Accounts");
  create_key(m_scratch, L"Software\\Ravelins\\OtherProduct");
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);
  EXPECT_FALSE(key_exists(m_scratch, L"Software\\Ravelins\\RediroZiredodOravez"));
  EXPECT_TRUE(key_exists(m_scratch, L"Software\\Ravelins\\OtherProduct"));
  const std::string log = read_file(module_log_path());
  EXPECT_NE(log.find("] remove_mutual_plugin_regkeys exception: registry2.key_error[RegDeleteKey() "
                     "failed: key \"Ravelins\" (5)]\r\n"),
            std::string::npos)
      << log;
}

TEST_F(SetupmateExportsTest, ARegisteredProductKeepsTheKeys) {
  create_key(m_scratch, L"Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins\\Corvane");
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);
  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  EXPECT_TRUE(key_exists(m_scratch, L"Software\\Ravelins\\RediroZiredodOravez"));
  const std::string log = read_file(module_log_path());
  EXPECT_NE(log.find("] Rediro Ziredod oravez is installed in 1 product(s)\r\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("Remove Rediro Ziredod oravez files"), std::string::npos) << log;
}

TEST_F(SetupmateExportsTest, AnotherUsersProductKeepsTheFilesNotTheUsersKeys) {
  // A made-up user's hive under HKEY_USERS (Wine lets keys be created there directly).
  const std::wstring other = L"S-1-5-21-1111-2222-3333-1003";
  create_key(HKEY_USERS,
             other + L"\\Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins\\Corvane");
  create_key(m_scratch, L"Software\\Ravelins\\RediroZiredodOravez\\Settings");

  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);

  RegDeleteTreeW(HKEY_USERS, other.c_str());
  const std::string log = read_file(module_log_path());
  EXPECT_EQ(log.find("Remove Rediro Ziredod oravez files"), std::string::npos) << log;
  // The current user's keys are the current user's to remove.
  EXPECT_FALSE(key_exists(m_scratch, L"Software\\Ravelins"));
}

// The module log's name planted as a hard link to another file below the common application-data
// folder, where users can create the folders first: the other file is never appended to, and the
// module log is written afresh.
TEST_F(SetupmateExportsTest, ModuleLogPlantedAsHardLinkIsReplaced) {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  FreeLibrary(m_dll);  // closes the module log
  m_dll = nullptr;
  const std::wstring log_path = module_log_path();
  const std::wstring other = log_path.substr(0, log_path.rfind(L'\\')) + L"\\other.txt";
  replay::testing::write_file(narrow(other), "keep");
  DeleteFileW(log_path.c_str());
  ASSERT_TRUE(CreateHardLinkW(log_path.c_str(), other.c_str(), nullptr));
  m_dll = LoadLibraryW((program_folder() + L"Setupmate.dll").c_str());
  ASSERT_NE(m_dll, nullptr);
  ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_scratch), ERROR_SUCCESS);

  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  EXPECT_EQ("keep", read_file(other));
  const std::string log = read_file(log_path);
  EXPECT_EQ(0u, log.find("\xEF\xBB\xBF")) << log;
  EXPECT_NE(log.find("] Remove Rediro Ziredod oravez files\r\n"), std::string::npos) << log;
  DeleteFileW(other.c_str());
}

}  // namespace
