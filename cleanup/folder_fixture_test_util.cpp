#include "cleanup/folder_fixture_test_util.h"

#include <shlobj.h>
#include <windows.h>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace folder_fixture {

void make_file(const std::wstring& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

void make_folder(const std::wstring& path) {
  fs::create_directories(path);
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void set_read_only(const std::wstring& path, bool read_only) {
  SetFileAttributesW(path.c_str(), read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

replay::scoped_handle open_shared(const std::wstring& path) {
  return replay::scoped_handle(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
}

void remove_forced(const std::wstring& path) {
  boost::system::error_code ignored;
  if (!fs::exists(path, ignored)) return;
  for (fs::recursive_directory_iterator it(path, ignored), end; it != end; it.increment(ignored)) {
    set_read_only(it->path().wstring(), false);
  }
  fs::remove_all(path, ignored);
}

std::wstring shell_folder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

std::wstring profiles_folder() {
  return fs::path(shell_folder(CSIDL_PROFILE)).parent_path().wstring();
}

std::wstring scratch_folder(const std::wstring& name) {
  const fs::path folder = fs::temp_directory_path() / (L"cvtest_" + name);
  remove_forced(folder.wstring());
  fs::create_directories(folder);
  return folder.wstring();
}

}  // namespace folder_fixture
