// remove_listed_files and the registration proof, in-process: a temporary program folder, a
// scratch HKEY_LOCAL_MACHINE (RegOverridePredefKey) for the SharedDLLs values, and the module log
// set up from this program's own copy of the DLL's string table.
#include "setup_dll/plugin_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "replay/unique_handle.h"
#include "setup_dll/module.h"
#include "setup_dll/registration_proof.h"

#include "testing/files.h"
#include "testing/registry_seed.h"
#include "testing/scratch_folder.h"
#include "testing/scratch_key.h"
#include "testing/text.h"

namespace {

using namespace test_support;

const wchar_t kScratch[] = L"Software\\CorvaneTest\\setupmate_plugin_files";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::string module_log() {
  return read_file(module().common_component + L"Logs\\Installer.log.txt");
}

void write_file(const std::wstring& path) {
  ASSERT_TRUE(make_file(path, "")) << utf8(path);
}

class PluginFilesTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { module_attach(GetModuleHandleW(nullptr)); }
  static void TearDownTestSuite() { close_module_log(); }

  void SetUp() override {
    m_folder = std::make_unique<scratch_folder>();
    m_dir = m_folder->path() + L"\\";
    ASSERT_TRUE(CreateDirectoryW((m_dir + L"x64").c_str(), nullptr));
    m_scratch = std::make_unique<scratch_key>(kScratch);
    ASSERT_TRUE(create_key(m_scratch->get(), 0, kSharedDlls));
    ASSERT_TRUE(m_scratch->redirect(HKEY_LOCAL_MACHINE));
  }
  void TearDown() override {
    m_scratch.reset();
    m_folder.reset();
  }

  void set_shared_dll(const std::wstring& path) {
    DWORD count = 1;
    ASSERT_EQ(RegSetKeyValueW(m_scratch->get(), kSharedDlls, path.c_str(), REG_DWORD, &count,
                              sizeof(count)),
              ERROR_SUCCESS);
  }
  bool shared_dll_exists(const std::wstring& path) {
    return RegGetValueW(m_scratch->get(), kSharedDlls, path.c_str(), RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
  }

  std::unique_ptr<scratch_folder> m_folder;
  std::wstring m_dir;
  std::unique_ptr<scratch_key> m_scratch;
};

TEST_F(PluginFilesTest, RemovesListedFilesOfBothFoldersAndTheirCounters) {
  write_file(m_dir + L"a.dll");
  write_file(m_dir + L"x64\\a.dll");
  write_file(m_dir + L"held.dll");
  write_file(m_dir + L"other.dll");  // not listed
  for (const wchar_t* name : {L"a.dll", L"x64\\a.dll", L"missing.dll", L"other.dll"}) {
    set_shared_dll(m_dir + name);
  }
  // Held open without FILE_SHARE_DELETE: it cannot be deleted.
  replay::scoped_handle held(CreateFileW((m_dir + L"held.dll").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.is_valid());

  remove_listed_files(L"DIR=" + m_dir + L";FILES=,a.dll,,held.dll,missing.dll,;");

  const std::string log = module_log();
  for (const wchar_t* name : {L"a.dll", L"x64\\a.dll"}) {
    EXPECT_FALSE(exists(m_dir + name)) << utf8(name);
    EXPECT_FALSE(shared_dll_exists(m_dir + name)) << utf8(name);
    EXPECT_NE(log.find("]    " + utf8(m_dir + name) + " removed\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] Regsvr32 for " + utf8(m_dir + name) + " completed (exit code: "),
              std::string::npos)
        << log;
  }
  EXPECT_FALSE(shared_dll_exists(m_dir + L"missing.dll"));
  EXPECT_EQ(log.find("missing.dll completed"), std::string::npos) << log;
  EXPECT_TRUE(exists(m_dir + L"held.dll"));
  EXPECT_NE(log.find("] FAILED TO remove '" + utf8(m_dir) + "held.dll': 32 !\r\n"),
            std::string::npos)
      << log;
  EXPECT_FALSE(exists(m_dir + L"x64"));
  EXPECT_TRUE(exists(m_dir + L"other.dll"));
  EXPECT_TRUE(shared_dll_exists(m_dir + L"other.dll"));
}

TEST_F(PluginFilesTest, AFileWhoseExistenceCannotBeToldKeepsItsCounter) {
  // Run as root, Wine grants every file access, so the check is made to fail with a folder name
  // the file system refuses (123) instead of access denied: both are "not known", not "not
  // there". Listed names must be plain, so the refused name is in DIR.
  const std::wstring unknown_dir = m_dir + L"b?\\";
  write_file(m_dir + L"a.dll");
  set_shared_dll(m_dir + L"a.dll");
  set_shared_dll(unknown_dir + L"a.dll");

  remove_listed_files(L"DIR=" + unknown_dir + L";FILES=a.dll;");

  EXPECT_TRUE(shared_dll_exists(unknown_dir + L"a.dll"));
  EXPECT_TRUE(exists(m_dir + L"a.dll"));
  EXPECT_NE(module_log().find("Cannot tell whether '" + utf8(unknown_dir) +
                              "a.dll' exists (123): it and its SharedDLLs value are kept\r\n"),
            std::string::npos)
      << module_log();
  // The same name where it can be told goes.
  remove_listed_files(L"DIR=" + m_dir + L";FILES=a.dll;");
  EXPECT_FALSE(exists(m_dir + L"a.dll"));
  EXPECT_FALSE(shared_dll_exists(m_dir + L"a.dll"));
}

TEST_F(PluginFilesTest, ARelativeDirRemovesNothing) {
  // Relative to the working folder, as the installer's would be.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(m_dir.c_str()));
  write_file(m_dir + L"x64\\a.dll");
  set_shared_dll(L"x64\\a.dll");

  for (const wchar_t* dir : {L"x64\\", L"\\", L"C:x64\\"}) {
    remove_listed_files(L"DIR=" + std::wstring(dir) + L";FILES=a.dll;");
    EXPECT_NE(module_log().find("] DIR '" + utf8(dir) +
                                "' is not an absolute path: no file is removed\r\n"),
              std::string::npos)
        << module_log();
  }
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(exists(m_dir + L"x64\\a.dll"));
  EXPECT_TRUE(shared_dll_exists(L"x64\\a.dll"));
}

TEST_F(PluginFilesTest, AListedNameThatIsNotAPlainFileNameIsSkipped) {
  // "..\\" and a full path would name files outside DIR; the plain name after them still goes.
  CreateDirectoryW((m_dir + L"sub").c_str(), nullptr);
  write_file(m_dir + L"outside.dll");
  write_file(m_dir + L"a.dll");
  set_shared_dll(m_dir + L"outside.dll");
  const std::wstring sub = m_dir + L"sub\\";

  remove_listed_files(L"DIR=" + sub + L";FILES=..\\outside.dll," + m_dir + L"outside.dll,a.dll;");
  remove_listed_files(L"DIR=" + m_dir + L";FILES=a.dll;");

  EXPECT_TRUE(exists(m_dir + L"outside.dll"));
  EXPECT_TRUE(shared_dll_exists(m_dir + L"outside.dll"));
  EXPECT_NE(module_log().find("] ATTENTION: '..\\outside.dll' in FILES is not a plain file name: "
                              "it is skipped\r\n"),
            std::string::npos)
      << module_log();
  EXPECT_NE(module_log().find("] ATTENTION: '" + utf8(m_dir) +
                              "outside.dll' in FILES is not a plain file name: it is skipped\r\n"),
            std::string::npos)
      << module_log();
  EXPECT_FALSE(exists(m_dir + L"a.dll"));
}

TEST(AbsolutePathTest, NeedsADriveOrUncRoot) {
  for (const wchar_t* dir : {L"C:\\P\\", L"z:\\", L"\\\\server\\share\\P\\"}) {
    EXPECT_TRUE(is_absolute_path(dir)) << utf8(dir);
  }
  for (const wchar_t* dir :
       {L"", L"P\\", L"\\P\\", L"C:P\\", L"C:", L"1:\\P\\", L"\\\\", L"\\\\\\x"}) {
    EXPECT_FALSE(is_absolute_path(dir)) << utf8(dir);
  }
}

class RegistrationProofTest : public PluginFilesTest {};

TEST_F(RegistrationProofTest, OnlyAnExistingNamedKeyProvesTheRegistration) {
  const std::wstring proof = L"CLSID\\{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E6F}";
  EXPECT_TRUE(create_key(HKEY_CLASSES_ROOT, 0, proof));
  struct {
    std::wstring subkey;
    UINT result;
    std::string line;
  } const cases[] = {
      {proof, ERROR_SUCCESS,
       "] regsvr32 failed, but 'HKEY_CLASSES_ROOT\\" + utf8(proof) +
           "' is there, so we assume that dll is registered\r\n"},
      // The empty name would open HKEY_CLASSES_ROOT itself.
      {L"", ERROR_INSTALL_FAILURE, "] regsvr32 failed, and 'HKEY_CLASSES_ROOT\\' is not found\r\n"},
      {L"CLSID\\{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E60}", ERROR_INSTALL_FAILURE,
       "] regsvr32 failed, and 'HKEY_CLASSES_ROOT\\CLSID\\{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E60}' "
       "is not found\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(check_registration(c.subkey), c.result) << utf8(c.subkey);
    EXPECT_NE(module_log().find(c.line), std::string::npos) << c.line;
  }
  RegDeleteKeyW(HKEY_CLASSES_ROOT, proof.c_str());
}

}  // namespace
