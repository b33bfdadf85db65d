#include "cleanup/tree_removal.h"

#include <windows.h>

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/path.hpp>
#include <boost/system/error_code.hpp>

#include "replay/unique_handle.h"

namespace {

[[noreturn]] void fail(const char* operation, const std::wstring& path, DWORD code) {
  throw boost::filesystem::filesystem_error(
      operation, boost::filesystem::path(path),
      boost::system::error_code(static_cast<int>(code), boost::system::system_category()));
}

bool is_missing(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool is_separator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// "C:\a\b\" names the same entry as "C:\a\b"; without the separator the last component is
// looked at itself instead of being entered (which would follow a link).
std::wstring without_trailing_separators(std::wstring path) {
  while (path.size() > 1 && is_separator(path.back()) && path[path.size() - 2] != L':') {
    path.pop_back();
  }
  return path;
}

// Deletes the link itself through a handle opened on it. The handle must show the reparse
// attribute: where the system resolves the link even so (Wine's view of Unix symbolic links),
// deleting through it would hit the target, so the removal is refused.
void remove_link(const std::wstring& path) {
  replay::scoped_handle file(
      CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) fail("boost::filesystem::remove", path, GetLastError());
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(file.get(), &info)) {
    fail("boost::filesystem::remove", path, GetLastError());
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    fail("boost::filesystem::remove", path, ERROR_NOT_A_REPARSE_POINT);
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                  sizeof(disposition))) {
    fail("boost::filesystem::remove", path, GetLastError());
  }
}

std::uintmax_t remove_entry(const std::wstring& path, DWORD attributes);

std::uintmax_t remove_children(const std::wstring& folder) {
  WIN32_FIND_DATAW data = {};
  replay::find_handle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return 0;
    fail("boost::filesystem::directory_iterator::construct", folder, code);
  }
  std::uintmax_t count = 0;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    count += remove_entry(folder + L"\\" + name, data.dwFileAttributes);
  } while (FindNextFileW(find.get(), &data));
  const DWORD code = GetLastError();
  if (code != ERROR_NO_MORE_FILES) {
    fail("boost::filesystem::directory_iterator::operator++", folder, code);
  }
  return count;
}

std::uintmax_t remove_entry(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    remove_link(path);
    return 1;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    const std::uintmax_t count = remove_children(path);
    if (!RemoveDirectoryW(path.c_str())) fail("boost::filesystem::remove", path, GetLastError());
    return count + 1;
  }
  if (!DeleteFileW(path.c_str())) fail("boost::filesystem::remove", path, GetLastError());
  return 1;
}

}  // namespace

std::uintmax_t remove_tree(const std::wstring& path) {
  const std::wstring entry = without_trailing_separators(path);
  const DWORD attributes = GetFileAttributesW(entry.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (is_missing(code)) return 0;
    fail("boost::filesystem::remove_all", entry, code);
  }
  return remove_entry(entry, attributes);
}

bool entry_exists(const std::wstring& path) {
  return GetFileAttributesW(without_trailing_separators(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_link(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(without_trailing_separators(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
