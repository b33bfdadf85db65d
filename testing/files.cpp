#include "testing/files.h"

#include <windows.h>

#include "replay/unique_handle.h"
#include "testing/text.h"

namespace test_support {
namespace {

std::wstring parent_of(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool is_dots(const wchar_t* name) {
  return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

}  // namespace

bool make_file(const std::wstring& path, const std::string& content) {
  make_folder(parent_of(path));
  const replay::scoped_handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr) &&
         written == content.size();
}

bool make_file(const std::string& path, const std::string& content) {
  return make_file(wide(path), content);
}

bool seed_files(const std::vector<seeded_file>& files) {
  bool all = true;
  for (const seeded_file& file : files) all = make_file(file.path, file.content) && all;
  return all;
}

void make_folder(const std::wstring& path) {
  if (path.empty() || exists(path)) return;
  make_folder(parent_of(path));
  CreateDirectoryW(path.c_str(), nullptr);
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

std::string read_file(const std::wstring& path) {
  const replay::scoped_handle file(CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  std::string content;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  return content;
}

std::string read_file(const std::string& path) {
  return read_file(wide(path));
}

std::vector<std::wstring> files_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const replay::find_handle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  return names;
}

void remove_forced(const std::wstring& given) {
  std::wstring path = given;
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    // The search ends with the if statement, before its folder is removed.
    if (const replay::find_handle search(FindFirstFileW((path + L"\\*").c_str(), &found)); search) {
      do {
        if (!is_dots(found.cFileName)) remove_forced(path + L"\\" + found.cFileName);
      } while (FindNextFileW(search.get(), &found));
    }
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

}  // namespace test_support
