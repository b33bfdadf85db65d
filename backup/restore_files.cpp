// The restore of files and folders: made again only where nothing stands now, never through a
// link (replay/file/plain_file.h), each folder on the way checked to be a plain folder.
#include <windows.h>

#include <cwchar>

#include "backup/backup_store.h"
#include "backup/restore_items.h"
#include "replay/file/plain_file.h"
#include "replay/unique_handle.h"

namespace replay {
namespace backup {
namespace {

item_result failed(DWORD code) {
  return {outcome::conflict, L"error " + std::to_wstring(code)};
}

// The machine's item at `path` itself (never what a link leads to); `attributes` receives its
// attributes. Empty when there is none.
scoped_handle open_item(const std::wstring& path, DWORD* attributes) {
  scoped_handle item(
      CreateFileW(path.c_str(), GENERIC_READ | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  *attributes = item && GetFileInformationByHandle(item.get(), &info) ? info.dwFileAttributes : 0;
  return item;
}

bool is_plain_file(DWORD attributes) {
  return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool absent(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// "C:" and the rest of "C:\a\b" (without the last name when `parent_only`); false for any
// other form of path.
bool split_drive(const std::wstring& path, bool parent_only, std::wstring* drive,
                 std::wstring* rest) {
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\' || !iswalpha(path[0])) return false;
  *drive = path.substr(0, 2);
  *rest = path.substr(3);
  if (parent_only) {
    const std::wstring::size_type slash = rest->rfind(L'\\');
    *rest = slash == std::wstring::npos ? std::wstring() : rest->substr(0, slash);
  }
  return true;
}

DWORD make_folders_of(const std::wstring& path, bool parent_only) {
  std::wstring drive, rest;
  if (!split_drive(path, parent_only, &drive, &rest)) return ERROR_INVALID_NAME;
  return make_plain_folders(drive, rest);
}

DWORD write_bytes(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return GetLastError();
  }
  return written == bytes.size() ? 0 : ERROR_WRITE_FAULT;
}

// Gives the file open as `file` the attributes and times of the backup's copy `copy`.
DWORD copy_basic_info(HANDLE file, const std::wstring& copy) {
  scoped_handle saved(CreateFileW(copy.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  FILE_BASIC_INFO basic = {};
  if (!saved || !GetFileInformationByHandleEx(saved.get(), FileBasicInfo, &basic, sizeof basic) ||
      !SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) {
    return GetLastError();
  }
  return 0;
}

// Makes the new file `path` holding `bytes`, with the attributes and times of the backup's
// copy `copy` when given.
DWORD make_file(const std::wstring& path, const std::string& bytes, const std::wstring& copy) {
  if (const DWORD error = make_folders_of(path, true)) return error;
  scoped_handle file = create_plain_file(path, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0);
  if (!file) return GetLastError();
  if (const DWORD error = write_bytes(file.get(), bytes)) return error;
  return copy.empty() ? 0 : copy_basic_info(file.get(), copy);
}

// Replaces the content of the plain file `path` with `bytes`, and its attributes and times
// with those of the backup's copy `copy`.
DWORD overwrite_file(const std::wstring& path, const std::string& bytes, const std::wstring& copy) {
  scoped_handle file = open_plain_file(path, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0);
  if (!file) return GetLastError();
  if (const DWORD error = write_bytes(file.get(), bytes)) return error;
  if (!SetEndOfFile(file.get())) return GetLastError();
  return copy_basic_info(file.get(), copy);
}

DWORD remove_file(const std::wstring& path) {
  scoped_handle file = open_plain_file(path, DELETE, 0);
  if (!file) return GetLastError();
  return delete_plain_file(file.get()) ? 0 : GetLastError();
}

bool read_time(const std::wstring& text, std::wstring::size_type at, LARGE_INTEGER* time) {
  if (text.size() < at + 16) return false;
  time->QuadPart = static_cast<LONGLONG>(wcstoull(text.substr(at, 16).c_str(), nullptr, 16));
  return true;
}

}  // namespace

std::wstring backup_reader::path(const std::wstring& relative) const {
  if (relative.empty() || relative.find(L':') != std::wstring::npos || relative[0] == L'\\' ||
      relative.find(L"..") != std::wstring::npos || relative.find(L'/') != std::wstring::npos) {
    return std::wstring();
  }
  return m_folder + L"\\" + relative;
}

bool backup_reader::read(const std::wstring& relative, std::string* bytes) const {
  const std::wstring full = path(relative);
  if (full.empty()) return false;
  scoped_handle file(CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  bytes->clear();
  return file && read_all(file.get(), *bytes) == 0;
}

// Whether `bytes` are those of one of the backup's copies `copies`.
bool one_of(const backup_reader& backup, const std::vector<std::wstring>& copies,
            const std::string& bytes) {
  for (const std::wstring& copy : copies) {
    std::string saved;
    if (backup.read(copy, &saved) && saved == bytes) return true;
  }
  return false;
}

item_result restore_file(const backup_reader& backup, const index_entry& e,
                         const std::vector<std::wstring>& earlier) {
  if (e.saved.empty()) return {outcome::missing, L"a " + e.extra + L" is not saved"};
  std::string saved;
  if (!backup.read(e.saved, &saved)) return {outcome::missing, L"its backup file is missing"};
  DWORD attributes = 0;
  const scoped_handle now = open_item(e.where, &attributes);
  if (now) {
    std::string bytes;
    if (!is_plain_file(attributes) || read_all(now.get(), bytes) != 0) {
      return {outcome::conflict, L"a different item is there now"};
    }
    if (bytes != saved) {
      if (one_of(backup, earlier, bytes)) return {outcome::present, L"as before an earlier change"};
      return {outcome::conflict, L"a different item is there now"};
    }
    if (e.kind == change_kind::schedule_at_restart) {
      return {outcome::present, L"its deletion at the next restart may still be pending"};
    }
    return {outcome::present, L""};
  }
  if (!absent(GetLastError())) return failed(GetLastError());
  if (const DWORD error = make_file(e.where, saved, backup.path(e.saved))) return failed(error);
  return {outcome::restored, L""};
}

item_result restore_written_file(const backup_reader& backup, const index_entry& e) {
  std::string before, written;
  const bool existed = !e.saved.empty();
  if ((existed && !backup.read(e.saved, &before)) || !backup.read(e.extra, &written)) {
    return {outcome::missing, L"its backup file is missing"};
  }
  DWORD attributes = 0;
  std::string bytes;
  DWORD error = 0;
  {
    const scoped_handle now = open_item(e.where, &attributes);
    if (!now) error = GetLastError();
    if (now && is_plain_file(attributes) && read_all(now.get(), bytes) != 0) attributes = ~0u;
  }  // closed before the file is written
  if (error != 0) {
    if (!absent(error)) return failed(error);
    if (!existed) return {outcome::present, L""};
    error = make_file(e.where, before, backup.path(e.saved));
    return error ? failed(error) : item_result{outcome::restored, L""};
  }
  if (!is_plain_file(attributes)) return {outcome::conflict, L"a different item is there now"};
  if (existed && bytes == before) return {outcome::present, L""};
  if (bytes != written) return {outcome::conflict, L"the file was changed since"};
  error = existed ? overwrite_file(e.where, before, backup.path(e.saved)) : remove_file(e.where);
  return error ? failed(error) : item_result{outcome::restored, L""};
}

item_result restore_folder(const index_entry& e, std::vector<index_entry>* made) {
  DWORD attributes = 0;
  const scoped_handle now = open_item(e.where, &attributes);
  if (now) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return {outcome::present, L""};
    }
    return {outcome::conflict, L"a different item is there now"};
  }
  if (!absent(GetLastError())) return failed(GetLastError());
  if (const DWORD error = make_folders_of(e.where, false)) return failed(error);
  made->push_back(e);
  return {outcome::restored, L""};
}

void set_folder_times(const index_entry& e) {
  // extra: attributes, then creation, access and write times, each in hex
  FILE_BASIC_INFO basic = {};
  if (e.extra.size() < 8 + 3 * 17 || !read_time(e.extra, 9, &basic.CreationTime) ||
      !read_time(e.extra, 26, &basic.LastAccessTime) ||
      !read_time(e.extra, 43, &basic.LastWriteTime)) {
    return;
  }
  basic.ChangeTime = basic.LastWriteTime;
  basic.FileAttributes = static_cast<DWORD>(wcstoul(e.extra.substr(0, 8).c_str(), nullptr, 16)) &
                         ~FILE_ATTRIBUTE_REPARSE_POINT;
  scoped_handle folder(
      CreateFileW(e.where.c_str(), FILE_WRITE_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (folder) SetFileInformationByHandle(folder.get(), FileBasicInfo, &basic, sizeof basic);
}

}  // namespace backup
}  // namespace replay
