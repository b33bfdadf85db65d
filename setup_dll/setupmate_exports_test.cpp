// The exports of the built Setupmate.dll, called in-process with an installer handle that reads
// no CustomActionData (the empty and missing cases), against a scratch HKEY_CURRENT_USER.
#include <windows.h>

#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"
#include "testing/text.h"

namespace {

using namespace test_support;

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
    m_key = std::make_unique<scratch_key>(kScratch);
    m_scratch = m_key->get();
    // The DLL is loaded before HKEY_CURRENT_USER is redirected, as its folders come from it.
    m_dll.reset(LoadLibraryW((program_folder() + L"Setupmate.dll").c_str()));
    ASSERT_TRUE(m_dll);
    ASSERT_TRUE(m_key->redirect(HKEY_CURRENT_USER));
  }
  void TearDown() override {
    m_key->restore();
    m_dll.reset();  // closes the module log
    DeleteFileW(module_log_path().c_str());
    m_key.reset();
  }

  UINT call(const char* name) {
    auto action = reinterpret_cast<custom_action>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_dll.get(), name)));
    EXPECT_NE(action, nullptr) << name;
    return action == nullptr ? 0xFFFFFFFF : action(0);
  }

  std::unique_ptr<scratch_key> m_key;
  HKEY m_scratch = nullptr;  // the scratch key's own handle
  replay::unique_module m_dll;
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
  EXPECT_TRUE(create_key(m_scratch, 0, L"Software\\Ravelins\\RediroZiredodOravez\\Settings"));
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);
  EXPECT_FALSE(key_exists(m_scratch, 0, L"Software\\Ravelins"));
  EXPECT_TRUE(key_exists(m_scratch, 0, L"Software"));
}

TEST_F(SetupmateExportsTest, ACompanyKeyWithAnotherProductStays) {
  EXPECT_TRUE(
      create_key(m_scratch, 0, L"Software\\Ravelins\\RediroZiredodOravez\\Settings\\Accounts"));
  EXPECT_TRUE(create_key(m_scratch, 0, L"Software\\Ravelins\\OtherProduct"));
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);
  EXPECT_FALSE(key_exists(m_scratch, 0, L"Software\\Ravelins\\RediroZiredodOravez"));
  EXPECT_TRUE(key_exists(m_scratch, 0, L"Software\\Ravelins\\OtherProduct"));
  const std::string log = read_file(module_log_path());
  EXPECT_NE(log.find("] remove_mutual_plugin_regkeys exception: registry2.key_error[RegDeleteKey() "
                     "failed: key \"Ravelins\" (5)]\r\n"),
            std::string::npos)
      << log;
}

TEST_F(SetupmateExportsTest, ARegisteredProductKeepsTheKeys) {
  EXPECT_TRUE(create_key(m_scratch, 0,
                         L"Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins\\Corvane"));
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);
  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  EXPECT_TRUE(key_exists(m_scratch, 0, L"Software\\Ravelins\\RediroZiredodOravez"));
  const std::string log = read_file(module_log_path());
  EXPECT_NE(log.find("] Rediro Ziredod oravez is installed in 1 product(s)\r\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("Remove Rediro Ziredod oravez files"), std::string::npos) << log;
}

TEST_F(SetupmateExportsTest, AnotherUsersProductKeepsTheFilesNotTheUsersKeys) {
  // A made-up user's hive under HKEY_USERS (Wine lets keys be created there directly).
  const std::wstring other = L"S-1-5-21-1111-2222-3333-1003";
  EXPECT_TRUE(create_key(
      HKEY_USERS, 0,
      other + L"\\Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins\\Corvane"));
  EXPECT_TRUE(create_key(m_scratch, 0, L"Software\\Ravelins\\RediroZiredodOravez\\Settings"));

  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  EXPECT_EQ(call("remove_mutual_plugin_regkeys"), 0u);

  RegDeleteTreeW(HKEY_USERS, other.c_str());
  const std::string log = read_file(module_log_path());
  EXPECT_EQ(log.find("Remove Rediro Ziredod oravez files"), std::string::npos) << log;
  // The current user's keys are the current user's to remove.
  EXPECT_FALSE(key_exists(m_scratch, 0, L"Software\\Ravelins"));
}

// The module log's name planted as a hard link to another file below the common application-data
// folder, where users can create the folders first: the other file is never appended to, and the
// module log is written afresh.
TEST_F(SetupmateExportsTest, ModuleLogPlantedAsHardLinkIsReplaced) {
  m_key->restore();
  m_dll.reset();  // closes the module log
  const std::wstring log_path = module_log_path();
  const std::wstring other = log_path.substr(0, log_path.rfind(L'\\')) + L"\\other.txt";
  ASSERT_TRUE(make_file(other, "keep"));
  DeleteFileW(log_path.c_str());
  ASSERT_TRUE(CreateHardLinkW(log_path.c_str(), other.c_str(), nullptr));
  m_dll.reset(LoadLibraryW((program_folder() + L"Setupmate.dll").c_str()));
  ASSERT_TRUE(m_dll);
  ASSERT_TRUE(m_key->redirect(HKEY_CURRENT_USER));

  EXPECT_EQ(call("remove_mutual_plugin_files"), 0u);
  EXPECT_EQ("keep", read_file(other));
  const std::string log = read_file(log_path);
  EXPECT_EQ(0u, log.find("\xEF\xBB\xBF")) << log;
  EXPECT_NE(log.find("] Remove Rediro Ziredod oravez files\r\n"), std::string::npos) << log;
  DeleteFileW(other.c_str());
}

}  // namespace
