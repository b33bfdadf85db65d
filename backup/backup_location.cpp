#include "backup/backup_location.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <vector>

#include "backup/backup_store.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"

namespace replay {
namespace backup {
namespace {

// Full control for the system and the administrators, nobody else, inherited below.
const wchar_t kAdministratorsOnly[] = L"O:BAG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                               FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                               WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

[[noreturn]] void refuse(const std::wstring& folder, const std::string& why) {
  throw backup_error("backup folder " + to_narrow(folder, CP_ACP, false) + ": " + why);
}

class local_memory {
 public:
  ~local_memory() { LocalFree(m_memory); }
  PSECURITY_DESCRIPTOR* receive() { return &m_memory; }
  PSECURITY_DESCRIPTOR get() const { return m_memory; }

 private:
  PSECURITY_DESCRIPTOR m_memory = nullptr;
};

// Makes `folder` with administrators-only rights; false when it exists or cannot be made.
bool make_protected(const std::wstring& folder) {
  local_memory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1,
                                                            descriptor.receive(), nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
  return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

// The account this (elevated) program runs as.
std::vector<BYTE> own_user() {
  scoped_token token;
  DWORD size = 0;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return {};
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size))
    return {};
  return user;
}

// The administrators, the system, and the administrator running this program (owner of what
// it makes where the system does not make the administrators the owner, as Wine does).
bool trusted_sid(PSID sid) {
  if (sid == nullptr) return false;
  if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid)) {
    return true;
  }
  static const std::vector<BYTE> user = own_user();
  return !user.empty() && EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

// Why the existing folder open as `folder` cannot hold backups; empty when it can.
std::string distrust(HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(folder, &info)) return "cannot be read";
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return "not a folder";
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return "a link";
  PSID owner = nullptr;
  PACL dacl = nullptr;
  local_memory descriptor;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, descriptor.receive()) != ERROR_SUCCESS) {
    return "its rights cannot be read";
  }
  if (!trusted_sid(owner)) return "not owned by the administrators";
  if (dacl == nullptr) return "anybody may write in it";
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return "its rights cannot be read";
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const ACCESS_ALLOWED_ACE* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
    if ((allowed->Mask & kWriteRights) && !trusted_sid(const_cast<DWORD*>(&allowed->SidStart))) {
      return "others than the administrators may write in it";
    }
  }
  return std::string();
}

scoped_handle open_folder(const std::wstring& folder) {
  return scoped_handle(
      CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Whether the folder holds nothing (its listing is read by its name: what it holds matters,
// not where a name leads, and the folder was opened and checked just before).
bool is_empty(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  find_handle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) return false;
  } while (FindNextFileW(search.get(), &found));
  return true;
}

std::wstring date_and_time() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  wchar_t text[32];
  swprintf(text, 32, L"%04u-%02u-%02u %02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  return text;
}

std::wstring without_trailing_backslash(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

}  // namespace

std::wstring new_dated_folder(const std::wstring& base_name) {
  const std::wstring base = without_trailing_backslash(base_name);
  if (!make_protected(base) && GetLastError() != ERROR_ALREADY_EXISTS) {
    refuse(base, "cannot be made (" + std::to_string(GetLastError()) + ")");
  }
  const scoped_handle folder = open_folder(base);
  if (!folder) refuse(base, "cannot be opened (" + std::to_string(GetLastError()) + ")");
  const std::string why = distrust(folder.get());
  if (!why.empty()) refuse(base, why);
  const std::wstring name = base + L"\\" + date_and_time();
  for (int n = 1; n < 100; ++n) {
    const std::wstring candidate = n == 1 ? name : name + L" " + std::to_wstring(n);
    if (make_protected(candidate)) return candidate;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  refuse(name, "cannot be made (" + std::to_string(GetLastError()) + ")");
}

std::wstring named_folder(const std::wstring& named) {
  const std::wstring folder = without_trailing_backslash(named);
  if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\') {
    refuse(folder, "not a full path");
  }
  const std::wstring::size_type last = folder.rfind(L'\\');
  if (last > 2) {
    if (const DWORD error = make_plain_folders(folder.substr(0, 2), folder.substr(3, last - 3))) {
      refuse(folder, "its parent folders cannot be made (" + std::to_string(error) + ")");
    }
  }
  if (!make_protected(folder) && GetLastError() != ERROR_ALREADY_EXISTS) {
    refuse(folder, "cannot be made (" + std::to_string(GetLastError()) + ")");
  }
  const scoped_handle opened = open_folder(folder);
  if (!opened) refuse(folder, "cannot be opened (" + std::to_string(GetLastError()) + ")");
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(opened.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    refuse(folder, "not a plain folder");
  }
  if (GetFileAttributesW((folder + L"\\" + kIndexName).c_str()) != INVALID_FILE_ATTRIBUTES) {
    refuse(folder, "holds a backup already");
  }
  const std::string why = distrust(opened.get());
  if (!why.empty()) refuse(folder, why);
  if (!is_empty(folder)) refuse(folder, "not empty");
  return folder;
}

}  // namespace backup
}  // namespace replay
