#include "remover/registry_seed_test_util.h"

#include <sddl.h>

namespace registry_seed {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

void set_value(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
               const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void set_dacl(HKEY root, const std::wstring& path, const wchar_t* sddl) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC | READ_CONTROL, &key) != ERROR_SUCCESS) {
    return;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                           nullptr)) {
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
  }
  RegCloseKey(key);
}

}  // namespace

void set_string(HKEY root, const std::wstring& path, const std::wstring& name,
                const std::wstring& value) {
  set_value(root, path, name, REG_SZ, value.c_str(),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void set_dword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
  set_value(root, path, name, REG_DWORD, &value, sizeof(value));
}

void create_key(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

bool key_exists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  const LONG result = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
  if (result == ERROR_SUCCESS) RegCloseKey(key);
  return result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED;  // a locked key exists
}

void delete_value(HKEY root, const std::wstring& path, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name.c_str());
  RegCloseKey(key);
}

void delete_tree(HKEY root, const std::wstring& path) {
  unlock_key(root, path);
  RegDeleteTreeW(root, path.c_str());
  RegDeleteKeyW(root, path.c_str());
}

// An empty DACL: nobody may open the key (its owner may still change the DACL).
void lock_key(HKEY root, const std::wstring& path) {
  set_dacl(root, path, L"D:P");
}

void unlock_key(HKEY root, const std::wstring& path) {
  set_dacl(root, path, L"D:P(A;;KA;;;WD)");
}

}  // namespace registry_seed
