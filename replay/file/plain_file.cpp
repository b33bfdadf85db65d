#include "replay/file/plain_file.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace replay {
namespace {

// What the checks need of every handle besides the caller's access.
constexpr DWORD kCheckAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Links are opened as themselves where the file system allows it.
constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
// Names tried for the fresh file that replaces a planted one.
constexpr int kFreshNameTries = 8;

std::wstring full_path(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size);
  const DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
  if (length == 0 || length >= size) return std::wstring();
  return std::wstring(buffer.data(), length);
}

std::wstring final_path(HANDLE handle) {
  const DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size);
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), size, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= size) return std::wstring();
  return std::wstring(buffer.data(), length);
}

bool same_text_ignoring_case(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether the file's final path is its folder's final path and its own name: a symbolic link
// that the open followed ends in another name or folder. Any query that fails counts as no.
bool names_itself(HANDLE file, const std::wstring& path) {
  const std::wstring full = full_path(path);
  const std::size_t slash = full.rfind(L'\\');
  if (slash == std::wstring::npos || slash + 1 == full.size()) return false;
  const scoped_handle folder(CreateFileW(
      full.substr(0, slash + 1).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return false;
  std::wstring expected = final_path(folder.get());
  if (expected.empty()) return false;
  if (expected.back() != L'\\') expected += L'\\';
  expected += full.substr(slash + 1);
  return same_text_ignoring_case(final_path(file), expected);
}

bool is_plain_file(HANDLE file, const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  const DWORD not_plain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if ((info.dwFileAttributes & not_plain) != 0 || info.nNumberOfLinks != 1) return false;
  return names_itself(file, path);
}

// Keeps `file` when it is a plain file at `path`; otherwise closes it, leaving the name as it
// is, and fails with kNotAPlainFile.
scoped_handle checked(scoped_handle file, const std::wstring& path) {
  if (!file || is_plain_file(file.get(), path)) return file;
  file.reset();
  SetLastError(kNotAPlainFile);
  return file;
}

std::wstring fresh_name(const std::wstring& path, int attempt) {
  return path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt) + L".tmp";
}

// A new file under a name of our own beside `path`.
scoped_handle create_beside(const std::wstring& path, DWORD access, DWORD share) {
  for (int attempt = 0; attempt < kFreshNameTries; ++attempt) {
    const std::wstring name = fresh_name(path, attempt);
    scoped_handle file = create_plain_file(name, access, share);
    if (file || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return scoped_handle();
}

bool is_missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND;
}

struct identity {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
  bool operator==(const identity& other) const {
    return volume == other.volume && high == other.high && low == other.low;
  }
};

bool identify(HANDLE file, identity& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

// The renamed file `ours`, opened anew with the caller's access when that lacks DELETE (ours is
// closed first: its DELETE access would keep out an open that does not share deleting). The
// name must still lead to the very same file.
scoped_handle with_access(scoped_handle ours, const std::wstring& path, DWORD access, DWORD share) {
  if ((access & DELETE) != 0) return ours;
  identity renamed;
  if (!identify(ours.get(), renamed)) return scoped_handle();
  ours.reset();
  scoped_handle file = open_plain_file(path, access, share);
  identity opened;
  if (!file || (identify(file.get(), opened) && opened == renamed)) return file;
  SetLastError(kNotAPlainFile);
  return scoped_handle();
}

}  // namespace

scoped_handle open_plain_file(const std::wstring& path, DWORD access, DWORD share) {
  return checked(scoped_handle(CreateFileW(path.c_str(), access | kCheckAccess, share, nullptr,
                                           OPEN_EXISTING, kFlags, nullptr)),
                 path);
}

scoped_handle create_plain_file(const std::wstring& path, DWORD access, DWORD share) {
  // CREATE_NEW never follows a link: an existing link, even one that leads nowhere, fails it.
  scoped_handle file(CreateFileW(path.c_str(), access | kCheckAccess, share, nullptr, CREATE_NEW,
                                 kFlags, nullptr));
  if (!file || is_plain_file(file.get(), path)) return file;
  if ((access & DELETE) != 0) delete_plain_file(file.get());  // ours, but not what it should be
  file.reset();
  SetLastError(kNotAPlainFile);
  return file;
}

scoped_handle replace_with_plain_file(const std::wstring& path, DWORD access, DWORD share) {
  scoped_handle file = create_beside(path, access | DELETE, share);
  if (!file) return file;
  if (rename_plain_file(file.get(), path, true) && is_plain_file(file.get(), path)) {
    return with_access(std::move(file), path, access, share);
  }
  const DWORD error = GetLastError();
  delete_plain_file(file.get());
  file.reset();
  SetLastError(error == ERROR_SUCCESS ? kNotAPlainFile : error);
  return file;
}

scoped_handle open_plain_file_to_append(const std::wstring& path, DWORD access, DWORD share) {
  // Two rounds: another process may create the file between our open and our create.
  for (int round = 0; round < 2; ++round) {
    scoped_handle file = open_plain_file(path, access, share);
    if (file) return file;
    if (GetLastError() == kNotAPlainFile) return replace_with_plain_file(path, access, share);
    if (!is_missing(GetLastError())) return file;
    file = create_plain_file(path, access, share);
    if (file || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  // Still no file to open, yet the name is taken: a link that leads nowhere.
  return replace_with_plain_file(path, access, share);
}

bool rename_plain_file(HANDLE file, const std::wstring& path, bool replace) {
  const std::wstring full = full_path(path);
  if (full.empty()) return false;
  const std::wstring target = L"\\??\\" + full;
  const std::size_t name_bytes = target.size() * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name_bytes);
  CopyMemory(info->FileName, target.c_str(), name_bytes);
  return SetFileInformationByHandle(file, FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())) != FALSE;
}

bool delete_plain_file(HANDLE file) {
  FILE_DISPOSITION_INFO info = {TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof(info)) != FALSE;
}

std::wstring ansi_path(const std::string& path) {
  const int size =
      MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0], size);
  return wide;
}

}  // namespace replay
