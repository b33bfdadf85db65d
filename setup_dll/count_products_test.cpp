// count_products against a scratch HKEY_CURRENT_USER (RegOverridePredefKey), with the module
// set up from this program's own copy of the DLL's string table.
#include "setup_dll/mutual_plugin.h"

#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "setup_dll/module.h"
#include "setup_dll/test_support.h"

namespace {

const wchar_t kScratch[] = L"Software\\CorvaneTest\\setupmate_count_products";
const wchar_t kPlugin[] = L"Software\\Ravelins\\RediroZiredodOravez";
const wchar_t kPlugins[] = L"Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins";

// Leaves the key readable by no one; DELETE and WRITE_DAC stay so the fixture can clean up.
void deny_reading(HKEY root, const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;0x50000;;;WD)", 1,
                                                                   &descriptor, nullptr));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  RegCloseKey(key);
  LocalFree(descriptor);
}

std::string read_module_log() {
  return read_file(module().common_component + L"Logs\\Installer.log.txt");
}

class CountProductsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { module_attach(GetModuleHandleW(nullptr)); }
  static void TearDownTestSuite() {
    close_module_log();
    const std::wstring folder = module().common_component + L"Logs\\";
    DeleteFileW((folder + L"Installer.log.txt").c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(module().common_component.c_str());
    RemoveDirectoryW((module().common_root + module().company).c_str());
  }

  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    create_key(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kScratch, 0, KEY_ALL_ACCESS, &m_scratch),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_scratch), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteKeyW(m_scratch, kPlugins);  // a key left unreadable
    RegCloseKey(m_scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  }

  HKEY m_scratch = nullptr;
};

TEST_F(CountProductsTest, ModuleNamesComeFromTheStringTable) {
  EXPECT_EQ(module().company, L"Ravelins");
  EXPECT_EQ(module().component, L"RediroZiredodOravez");
  wchar_t common[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common), S_OK);
  EXPECT_EQ(module().common_component, std::wstring(common) + L"\\Ravelins\\RediroZiredodOravez\\");
}

TEST_F(CountProductsTest, MissingKeysMeanNoUser) {
  EXPECT_EQ(count_products(product_scope::current_user), 0);  // no Software\Ravelins at all
  create_key(m_scratch, kPlugin);
  EXPECT_EQ(count_products(product_scope::current_user), 0);  // no Registered Plugins
  create_key(m_scratch, kPlugins);
  EXPECT_EQ(count_products(product_scope::current_user), 0);  // an empty list
}

TEST_F(CountProductsTest, CountsTheRegisteredProducts) {
  create_key(m_scratch, std::wstring(kPlugins) + L"\\Corvane");
  create_key(m_scratch, std::wstring(kPlugins) + L"\\Corvane Mail");
  EXPECT_EQ(count_products(product_scope::current_user), 2);
  const std::string line = "[" + std::to_string(GetCurrentProcessId()) +
                           "] Rediro Ziredod oravez is installed in 2 product(s)\r\n";
  EXPECT_NE(read_module_log().find(line), std::string::npos) << read_module_log();
}

TEST_F(CountProductsTest, AnUnreadableListMeansInUse) {
  create_key(m_scratch, kPlugins);
  deny_reading(m_scratch, kPlugins);
  EXPECT_NE(count_products(product_scope::current_user), 0);
  EXPECT_NE(read_module_log().find("Cannot read the products that use Rediro Ziredod oravez"),
            std::string::npos);
}

// Products of other users, in hives of their own under HKEY_USERS (made-up user ids: Wine lets
// keys be created there directly).
class OtherUsersTest : public CountProductsTest {
 protected:
  void TearDown() override {
    for (const wchar_t* hive : {kOtherUser, kUnreadableUser}) {
      RegDeleteKeyW(HKEY_USERS, (std::wstring(hive) + L"\\" + kPlugins).c_str());
      RegDeleteTreeW(HKEY_USERS, hive);
    }
    CountProductsTest::TearDown();
  }
  static constexpr const wchar_t* kOtherUser = L"S-1-5-21-1111-2222-3333-1001";
  static constexpr const wchar_t* kUnreadableUser = L"S-1-5-21-1111-2222-3333-1002";
};

TEST_F(OtherUsersTest, TheirProductsCountForTheMachineOnly) {
  create_key(HKEY_USERS, std::wstring(kOtherUser) + L"\\" + kPlugins + L"\\Corvane Mail");
  EXPECT_EQ(count_products(product_scope::current_user), 0);
  EXPECT_EQ(count_products(product_scope::all_users), 1);
  EXPECT_NE(read_module_log().find("] Rediro Ziredod oravez is installed in 1 product(s) of the "
                                   "users under HKEY_USERS, so it is kept\r\n"),
            std::string::npos)
      << read_module_log();
  // The current user's own products are counted once.
  create_key(m_scratch, std::wstring(kPlugins) + L"\\Corvane");
  EXPECT_EQ(count_products(product_scope::all_users), 1);
}

TEST_F(OtherUsersTest, AnUnreadableHiveMeansInUse) {
  create_key(HKEY_USERS, std::wstring(kOtherUser) + L"\\Software");
  create_key(HKEY_USERS, std::wstring(kUnreadableUser) + L"\\" + kPlugins);
  deny_reading(HKEY_USERS, std::wstring(kUnreadableUser) + L"\\" + kPlugins);
  EXPECT_EQ(count_products(product_scope::current_user), 0);
  EXPECT_EQ(count_products(product_scope::all_users), -1);
  EXPECT_NE(read_module_log().find("Cannot read the products that use Rediro Ziredod oravez in "
                                   "HKEY_USERS\\S-1-5-21-1111-2222-3333-1002 ("),
            std::string::npos)
      << read_module_log();
}

}  // namespace
