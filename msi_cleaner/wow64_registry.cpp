#include "msi_cleaner/wow64_registry.h"

using replay::unique_hkey;

void split_store_path(const std::wstring& path, HKEY& hive, std::wstring& rest) {
  std::size_t slash = path.find(L'\\');
  std::wstring name = path.substr(0, slash);
  rest = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
  if (name == L"HKCR") {
    hive = HKEY_CLASSES_ROOT;
  } else if (name == L"HKLM") {
    hive = HKEY_LOCAL_MACHINE;
  } else if (name == L"HKCU") {
    hive = HKEY_CURRENT_USER;
  } else {
    hive = HKEY_USERS;
  }
}

bool open_below_store(const std::wstring& store_path, const std::wstring& tail, REGSAM access,
                      unique_hkey& key) {
  HKEY hive;
  std::wstring rest;
  split_store_path(store_path, hive, rest);
  std::wstring path = rest.empty() ? tail : rest + L"\\" + tail;
  if (path.size() >= kBufferChars) return false;
  return RegOpenKeyExW(hive, path.c_str(), 0, access, key.receive()) == ERROR_SUCCESS;
}

std::vector<std::wstring> subkey_names_64(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kBufferChars];
    DWORD length = kBufferChars;
    LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

namespace {

// The name of the first subkey of `key`; false when it has none (or it cannot be read).
bool first_subkey(HKEY key, std::wstring& name) {
  wchar_t buffer[kBufferChars];
  DWORD length = kBufferChars;
  if (RegEnumKeyExW(key, 0, buffer, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  name.assign(buffer, length);
  return true;
}

}  // namespace

bool delete_key_tree_64(HKEY parent, const std::wstring& name, reg_delete_key_ex_function remove) {
  unique_hkey key;
  if (RegOpenKeyExW(parent, name.c_str(), 0, kWrite64, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring child;
  std::wstring previous;
  while (first_subkey(key.get(), child)) {
    // A subkey that is still first after its deletion was not removed after all.
    if (child == previous || !delete_key_tree_64(key.get(), child, remove)) return false;
    previous = child;
  }
  key.reset();
  return remove(parent, name.c_str(), KEY_WOW64_64KEY, 0) == ERROR_SUCCESS;
}
