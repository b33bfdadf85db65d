// count_products against a scratch HKEY_CURRENT_USER (RegOverridePredefKey), with the module
// set up from this program's own copy of the DLL's string table.
#include "setup_dll/mutual_plugin.h"

#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "setup_dll/module.h"

#include "testing/files.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"
#include "testing/text.h"

namespace {

using namespace test_support;

const wchar_t kScratch[] = L"Software\\CorvaneTest\\setupmate_count_products";
const wchar_t kPlugin[] = L"Software\\Ravelins\\RediroZiredodOravez";
const wchar_t kPlugins[] = L"Software\\Ravelins\\RediroZiredodOravez\\Registered Plugins";

// Leaves the key readable by no one; DELETE and WRITE_DAC stay so the fixture can clean up.
void deny_reading(HKEY root, const std::wstring& path) {
  EXPECT_TRUE(set_dacl(root, 0, path, L"D:P(A;;0x50000;;;WD)"));
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
    m_key = std::make_unique<scratch_key>(kScratch);
    m_scratch = m_key->get();
    ASSERT_TRUE(m_key->redirect(HKEY_CURRENT_USER));
  }
  void TearDown() override {
    m_key->restore();
    RegDeleteKeyW(m_scratch, kPlugins);  // a key left unreadable
    m_key.reset();
  }

  std::unique_ptr<scratch_key> m_key;
  HKEY m_scratch = nullptr;  // the scratch key's own handle
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
  EXPECT_TRUE(create_key(m_scratch, 0, kPlugin));
  EXPECT_EQ(count_products(product_scope::current_user), 0);  // no Registered Plugins
  EXPECT_TRUE(create_key(m_scratch, 0, kPlugins));
  EXPECT_EQ(count_products(product_scope::current_user), 0);  // an empty list
}

TEST_F(CountProductsTest, CountsTheRegisteredProducts) {
  EXPECT_TRUE(create_key(m_scratch, 0, std::wstring(kPlugins) + L"\\Corvane"));
  EXPECT_TRUE(create_key(m_scratch, 0, std::wstring(kPlugins) + L"\\Corvane Mail"));
  EXPECT_EQ(count_products(product_scope::current_user), 2);
  const std::string line = "[" + std::to_string(GetCurrentProcessId()) +
                           "] Rediro Ziredod oravez is installed in 2 product(s)\r\n";
  EXPECT_NE(read_module_log().find(line), std::string::npos) << read_module_log();
}

TEST_F(CountProductsTest, AnUnreadableListMeansInUse) {
  EXPECT_TRUE(create_key(m_scratch, 0, kPlugins));
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
  EXPECT_TRUE(
      create_key(HKEY_USERS, 0, std::wstring(kOtherUser) + L"\\" + kPlugins + L"\\Corvane Mail"));
  EXPECT_EQ(count_products(product_scope::current_user), 0);
  EXPECT_EQ(count_products(product_scope::all_users), 1);
  EXPECT_NE(read_module_log().find("] Rediro Ziredod oravez is installed in 1 product(s) of the "
                                   "users under HKEY_USERS, so it is kept\r\n"),
            std::string::npos)
      << read_module_log();
  // The current user's own products are counted once.
  EXPECT_TRUE(create_key(m_scratch, 0, std::wstring(kPlugins) + L"\\Corvane"));
  EXPECT_EQ(count_products(product_scope::all_users), 1);
}

TEST_F(OtherUsersTest, AnUnreadableHiveMeansInUse) {
  EXPECT_TRUE(create_key(HKEY_USERS, 0, std::wstring(kOtherUser) + L"\\Software"));
  EXPECT_TRUE(create_key(HKEY_USERS, 0, std::wstring(kUnreadableUser) + L"\\" + kPlugins));
  deny_reading(HKEY_USERS, std::wstring(kUnreadableUser) + L"\\" + kPlugins);
  EXPECT_EQ(count_products(product_scope::current_user), 0);
  EXPECT_EQ(count_products(product_scope::all_users), -1);
  EXPECT_NE(read_module_log().find("Cannot read the products that use Rediro Ziredod oravez in "
                                   "HKEY_USERS\\S-1-5-21-1111-2222-3333-1002 ("),
            std::string::npos)
      << read_module_log();
}

}  // namespace
