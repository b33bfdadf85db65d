#include "bench/bare_walk.h"

#include <windows.h>

#include <algorithm>

#include "replay/unique_handle.h"
#include "testing/text.h"

namespace {

constexpr REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;

using replay::unique_hkey;
using test_support::utf8;

// The opened key, or an empty owner when it cannot be opened.
unique_hkey open(HKEY parent, const wchar_t* path, REGSAM access) {
  unique_hkey key;
  if (RegOpenKeyExW(parent, path, 0, access, key.receive()) != ERROR_SUCCESS) key.release();
  return key;
}

struct walker {
  bool wow64;
  REGSAM access;
  bare_walk_result result;
  std::vector<std::wstring> roots;
};

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
  const unique_hkey child = open(key, installer.c_str(), KEY_READ);
  if (!child) return false;
  bool found = false;
  for (const std::wstring& name : names_of(child.get())) found = found || name == L"UpgradeCodes";
  return found;
}

bool is_wow64_root(HKEY key, const std::wstring& installer) {
  const std::wstring path = installer + L"\\UpgradeCodes";
  return open(key, path.c_str(), kRead64).is_valid();
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
    if (const unique_hkey child = open(key, name.c_str(), w.access); child) {
      walk(w, child.get(), path + L"\\" + name);
    }
  }
}

void walk_hive(walker& w, HKEY hive, const wchar_t* name) {
  const unique_hkey key = open(hive, nullptr, w.access);
  if (key) walk(w, key.get(), name);
}

unique_hkey open_root(const std::wstring& path, const std::wstring& tail, REGSAM access) {
  std::size_t slash = path.find(L'\\');
  std::wstring hive_name = path.substr(0, slash);
  std::wstring rest = slash == std::wstring::npos ? L"" : path.substr(slash + 1) + L"\\";
  HKEY hive = hive_name == L"HKCR"   ? HKEY_CLASSES_ROOT
              : hive_name == L"HKLM" ? HKEY_LOCAL_MACHINE
              : hive_name == L"HKCU" ? HKEY_CURRENT_USER
                                     : HKEY_USERS;
  const std::wstring sub = rest + tail;
  return open(hive, sub.c_str(), access);
}

// The installer stores of every root, numbered after the roots.
void list_stores(walker& w) {
  int counter = static_cast<int>(w.roots.size());
  for (std::size_t r = 0; r < w.roots.size(); ++r) {
    const std::string prefix = "UserData: " + std::to_string(r + 1) + "  ";
    if (!w.wow64) {
      if (!open_root(w.roots[r], L"Installer", KEY_READ)) continue;
    }
    w.result.lines.push_back(prefix + std::to_string(++counter) + "  Installer");
    const unique_hkey user_data = open_root(w.roots[r], L"Installer\\UserData", w.access);
    if (!user_data) continue;
    std::vector<std::wstring> sids = names_of(user_data.get());
    if (!w.wow64) std::sort(sids.begin(), sids.end());
    for (const std::wstring& sid : sids) {
      w.result.lines.push_back(prefix + std::to_string(++counter) + "  Installer\\UserData\\" +
                               utf8(sid));
    }
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
  if (open(HKEY_CLASSES_ROOT, L"installer", kRead64)) {
    if (is_wow64_root(HKEY_CLASSES_ROOT, L"installer")) add_root(w, L"HKCR");
  } else {
    w.result.lines.push_back("RegOpenKeyEx HKEY_CLASSES_ROOT\\Installer failed");
  }
  walk_hive(w, HKEY_LOCAL_MACHINE, L"HKLM");
  walk_hive(w, HKEY_CURRENT_USER, L"HKCU");
  walk_hive(w, HKEY_USERS, L"HKU");
  list_stores(w);
  return w.result;
}
