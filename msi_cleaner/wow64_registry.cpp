#include "msi_cleaner/wow64_registry.h"

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
                      layered_key& key) {
  HKEY hive;
  std::wstring rest;
  split_store_path(store_path, hive, rest);
  std::wstring path = rest.empty() ? tail : rest + L"\\" + tail;
  if (path.size() >= kBufferChars) return false;
  return open_layered(hive, path, access, key) == ERROR_SUCCESS;
}

std::vector<std::wstring> subkey_names_64(const layered_key& key) {
  std::vector<std::wstring> names;
  for (const std::wstring& name : subkeys(key)) names.push_back(name);
  return names;
}

bool delete_key_tree_64(const layered_key& parent, const std::wstring& name,
                        reg_delete_key_ex_function remove) {
  layered_key key;
  if (open_layered(parent, name, kWrite64, key) != ERROR_SUCCESS) return false;
  announce_layered_tree(parent, name);  // a backup saves the tree once, before its first key goes
  std::wstring child;
  std::wstring previous;
  while (first_subkey(key, child)) {
    // A subkey that is still first after its deletion was not removed after all.
    if (child == previous || !delete_key_tree_64(key, child, remove)) return false;
    previous = child;
  }
  key.handle.reset();
  return delete_layered_key(parent, name, [&] {
           return remove(parent.get(), name.c_str(), KEY_WOW64_64KEY, 0);
         }) == ERROR_SUCCESS;
}
