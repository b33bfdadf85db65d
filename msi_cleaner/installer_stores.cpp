#include "msi_cleaner/installer_stores.h"

#include <algorithm>

#include "msi_cleaner/layered_key.h"
#include "msi_cleaner/subkey_listing.h"
#include "msi_cleaner/wow64_registry.h"
#include "replay/log/log.h"
#include "replay/unique_handle.h"

using replay::unique_hkey;
using replay::registry2::key;

namespace {

std::wstring lower_ascii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  return text;
}

bool is_installer(const std::wstring& name) {
  return lower_ascii(name) == L"installer";
}

// ---- Native form ----------------------------------------------------------------------------

// Whether the "Installer" key `name` below `parent` has a subkey named exactly "UpgradeCodes".
// One planned removed does not count.
bool has_upgrade_codes(HKEY parent, const std::wstring& name) {
  layered_key installer;
  if (open_layered(parent, name, KEY_READ, installer) != ERROR_SUCCESS) return false;
  for (const std::wstring& subkey : subkeys(installer)) {
    if (subkey == L"UpgradeCodes") return true;
  }
  return false;
}

void add_native_root(HKEY scanned, const std::wstring& path, int& counter, key_stores& roots) {
  try {
    key root(scanned);
    roots.push_back(key_store{++counter, std::move(root)});
    replay::log_info("Root: %i  %ls", counter, path.c_str());
  } catch (const replay::exception&) {
    // A key that cannot be held open is no store this pass can use.
  }
}

// Depth first, subkeys in UTF-16 code-unit order. Leaves are never opened: they can neither be
// nor hold a root store.
void scan_native(HKEY scanned, const std::wstring& path, int& counter, key_stores& roots) {
  subkey_listing listing = list_inner_subkeys(scanned);
  if (!listing.complete) return;
  std::sort(listing.names.begin(), listing.names.end());
  for (const std::wstring& name : listing.names) {
    if (is_installer(name)) {
      if (has_upgrade_codes(scanned, name)) add_native_root(scanned, path, counter, roots);
      continue;
    }
    unique_hkey child;
    if (RegOpenKeyExW(scanned, name.c_str(), 0, KEY_READ, child.receive()) == ERROR_SUCCESS) {
      scan_native(child.get(), path + L"\\" + name, counter, roots);
    }
  }
}

void scan_native_hive(HKEY hive, const wchar_t* name, int& counter, key_stores& roots) {
  try {
    key root(hive);
    scan_native(root.handle(), name, counter, roots);
  } catch (const replay::exception&) {
    // A hive that cannot be opened holds no stores for this process.
  }
}

void list_native_stores(int& counter, const key_store& root, key_stores& stores) {
  try {
    key installer = root.key.open(L"Installer");
    stores.push_back(key_store{++counter, installer.duplicate()});
    replay::log_info("UserData: %i  %i  Installer", root.number, counter);
    key user_data = installer.open(L"UserData");
    for (const std::wstring& sid : user_data.subkey_names()) {
      stores.push_back(key_store{++counter, user_data.open(sid)});
      replay::log_info("UserData: %i  %i  Installer\\UserData\\%ls", root.number, counter,
                       sid.c_str());
    }
  } catch (const replay::exception&) {
    // Ends the listing of this root; the stores already taken stay.
  }
}

// ---- WOW64 form -----------------------------------------------------------------------------

void add_path_root(const std::wstring& path, int& counter, path_stores& roots) {
  roots.push_back(path_store{++counter, path});
  replay::log_info(L"Root: %i  %s", counter, path.c_str());
}

// Depth first in enumeration order, never entering Wow6432Node.
void scan_64(HKEY scanned, const std::wstring& path, int& counter, path_stores& roots) {
  for (const std::wstring& name : list_inner_subkeys(scanned).names) {
    const std::wstring lowered = lower_ascii(name);
    if (lowered == L"installer") {
      layered_key codes;
      if (open_layered(scanned, name + L"\\UpgradeCodes", kRead64, codes) == ERROR_SUCCESS) {
        add_path_root(path, counter, roots);
      }
    } else if (lowered != L"wow6432node") {
      unique_hkey child;
      if (RegOpenKeyExW(scanned, name.c_str(), 0, kRead64, child.receive()) == ERROR_SUCCESS) {
        scan_64(child.get(), path + L"\\" + name, counter, roots);
      }
    }
  }
}

void locate_classes_root_64(int& counter, path_stores& roots) {
  layered_key installer;
  if (open_layered(HKEY_CLASSES_ROOT, L"installer", kRead64, installer) != ERROR_SUCCESS) {
    replay::log_info("RegOpenKeyEx HKEY_CLASSES_ROOT\\Installer failed");
    return;
  }
  layered_key codes;
  if (open_layered(installer, L"UpgradeCodes", kRead64, codes) == ERROR_SUCCESS) {
    add_path_root(L"HKCR", counter, roots);
  }
}

// Opens a hive in the 64-bit view and scans it; false when the hive does not open.
bool scan_hive_64(HKEY hive, const wchar_t* name, int& counter, path_stores& roots) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, nullptr, 0, kRead64, &opened) != ERROR_SUCCESS) return false;
  unique_hkey owner(opened);
  scan_64(opened, name, counter, roots);
  return true;
}

void list_path_stores(int& counter, const path_store& root, path_stores& stores) {
  stores.push_back(path_store{++counter, root.path + L"\\Installer"});
  replay::log_info("UserData: %i  %i  Installer", root.number, counter);
  layered_key user_data;
  if (!open_below_store(root.path, L"Installer\\UserData", kRead64, user_data)) return;
  for (const std::wstring& sid : subkey_names_64(user_data)) {
    stores.push_back(path_store{++counter, root.path + L"\\Installer\\UserData\\" + sid});
    replay::log_info(L"UserData: %i  %i  Installer\\UserData\\%s", root.number, counter,
                     sid.c_str());
  }
}

}  // namespace

void locate_root_stores(int& counter, key_stores& roots) {
  scan_native_hive(HKEY_CLASSES_ROOT, L"HKCR", counter, roots);
  scan_native_hive(HKEY_CURRENT_USER, L"HKCU", counter, roots);
  scan_native_hive(HKEY_USERS, L"HKU", counter, roots);
  scan_native_hive(HKEY_LOCAL_MACHINE, L"HKLM", counter, roots);
}

void list_installer_stores(int& counter, const key_stores& roots, key_stores& stores) {
  for (const key_store& root : roots) list_native_stores(counter, root, stores);
}

void locate_root_stores(int& counter, path_stores& roots) {
  locate_classes_root_64(counter, roots);
  if (!scan_hive_64(HKEY_LOCAL_MACHINE, L"HKLM", counter, roots)) {
    replay::log_info("RegOpenKeyEx HKEY_LOCAL_MACHINE failed");
  }
  scan_hive_64(HKEY_CURRENT_USER, L"HKCU", counter, roots);
  scan_hive_64(HKEY_USERS, L"HKU", counter, roots);
}

void list_installer_stores(int& counter, const path_stores& roots, path_stores& stores) {
  for (const path_store& root : roots) list_path_stores(counter, root, stores);
}
