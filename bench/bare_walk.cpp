#include "bench/bare_walk.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;

struct walker {
  bool wow64;
  REGSAM access;
  bare_walk_result result;
  std::vector<std::wstring> roots;
};

std::string utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  return text;
}

std::vector<std::wstring> names_of(HKEY key, bool* ok = nullptr) {
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[300];
    DWORD length = 300;
    LONG r = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) {
      if (ok != nullptr) *ok = r == ERROR_NO_MORE_ITEMS;
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

void add_root(walker& w, const std::wstring& path) {
  w.roots.push_back(path);
  w.result.lines.push_back("Root: " + std::to_string(w.roots.size()) + "  " + utf8(path));
}

bool is_native_root(HKEY key, const std::wstring& installer) {
  HKEY child = nullptr;
  if (RegOpenKeyExW(key, installer.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) return false;
  bool found = false;
  for (const std::wstring& name : names_of(child)) found = found || name == L"UpgradeCodes";
  RegCloseKey(child);
  return found;
}

bool is_wow64_root(HKEY key, const std::wstring& installer) {
  HKEY child = nullptr;
  std::wstring path = installer + L"\\UpgradeCodes";
  if (RegOpenKeyExW(key, path.c_str(), 0, kRead64, &child) != ERROR_SUCCESS) return false;
  RegCloseKey(child);
  return true;
}

void walk(walker& w, HKEY key, const std::wstring& path) {
  ++w.result.keys;
  bool ok = true;
  std::vector<std::wstring> names = names_of(key, &ok);
  if (!w.wow64) {
    if (!ok) return;
    std::sort(names.begin(), names.end());
  }
  for (const std::wstring& name : names) {
    const std::wstring lowered = lower(name);
    if (lowered == L"installer") {
      if (w.wow64 ? is_wow64_root(key, name) : is_native_root(key, name)) add_root(w, path);
      continue;
    }
    if (w.wow64 && lowered == L"wow6432node") continue;
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name.c_str(), 0, w.access, &child) == ERROR_SUCCESS) {
      walk(w, child, path + L"\\" + name);
      RegCloseKey(child);
    }
  }
}

void walk_hive(walker& w, HKEY hive, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(hive, nullptr, 0, w.access, &key) != ERROR_SUCCESS) return;
  walk(w, key, name);
  RegCloseKey(key);
}

HKEY open_root(const std::wstring& path, const std::wstring& tail, REGSAM access) {
  std::size_t slash = path.find(L'\\');
  std::wstring hive_name = path.substr(0, slash);
  std::wstring rest = slash == std::wstring::npos ? L"" : path.substr(slash + 1) + L"\\";
  HKEY hive = hive_name == L"HKCR"   ? HKEY_CLASSES_ROOT
              : hive_name == L"HKLM" ? HKEY_LOCAL_MACHINE
              : hive_name == L"HKCU" ? HKEY_CURRENT_USER
                                     : HKEY_USERS;
  HKEY key = nullptr;
  std::wstring sub = rest + tail;
  if (RegOpenKeyExW(hive, sub.c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

// The installer stores of every root, numbered after the roots.
void list_stores(walker& w) {
  int counter = static_cast<int>(w.roots.size());
  for (std::size_t r = 0; r < w.roots.size(); ++r) {
    const std::string prefix = "UserData: " + std::to_string(r + 1) + "  ";
    if (!w.wow64) {
      HKEY installer = open_root(w.roots[r], L"Installer", KEY_READ);
      if (installer == nullptr) continue;
      RegCloseKey(installer);
    }
    w.result.lines.push_back(prefix + std::to_string(++counter) + "  Installer");
    HKEY user_data = open_root(w.roots[r], L"Installer\\UserData", w.access);
    if (user_data == nullptr) continue;
    std::vector<std::wstring> sids = names_of(user_data);
    if (!w.wow64) std::sort(sids.begin(), sids.end());
    for (const std::wstring& sid : sids) {
      w.result.lines.push_back(prefix + std::to_string(++counter) + "  Installer\\UserData\\" +
                               utf8(sid));
    }
    RegCloseKey(user_data);
  }
}

}  // namespace

bare_walk_result bare_walk_native() {
  walker w{false, KEY_READ, {}, {}};
  walk_hive(w, HKEY_CLASSES_ROOT, L"HKCR");
  walk_hive(w, HKEY_CURRENT_USER, L"HKCU");
  walk_hive(w, HKEY_USERS, L"HKU");
  walk_hive(w, HKEY_LOCAL_MACHINE, L"HKLM");
  list_stores(w);
  return w.result;
}

bare_walk_result bare_walk_wow64() {
  walker w{true, kRead64, {}, {}};
  HKEY installer = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"installer", 0, kRead64, &installer) == ERROR_SUCCESS) {
    if (is_wow64_root(HKEY_CLASSES_ROOT, L"installer")) add_root(w, L"HKCR");
    RegCloseKey(installer);
  } else {
    w.result.lines.push_back("RegOpenKeyEx HKEY_CLASSES_ROOT\\Installer failed");
  }
  walk_hive(w, HKEY_LOCAL_MACHINE, L"HKLM");
  walk_hive(w, HKEY_CURRENT_USER, L"HKCU");
  walk_hive(w, HKEY_USERS, L"HKU");
  list_stores(w);
  return w.result;
}
