// Windows Installer root stores and installer stores.
//
// A root store is a key with a subkey "Installer" (any ASCII case) that holds "UpgradeCodes".
// Its installer stores are root\Installer and every root\Installer\UserData\<SID>. Roots are
// numbered from the cleaner's counter as they are found; the stores continue the numbering.
//
// Two forms, chosen by how the stores are held:
// - native (key_store): the ordinary registry view; roots are found by a depth-first scan of
//   HKCR, HKCU, HKU and HKLM, and held as open keys.
// - WOW64 (path_store): the 64-bit view of a 32-bit process on 64-bit Windows; HKCR is looked at
//   on its top level only, HKLM, HKCU and HKU are scanned without entering Wow6432Node, and the
//   stores are held as path texts such as L"HKLM\\SOFTWARE\\Classes\\Installer".
//
// In a report-only run, a store whose keys the run has planned to remove is not found.
#pragma once

#include <string>
#include <vector>

#include "replay/registry2/key.h"

struct key_store {
  int number;
  replay::registry2::key key;
};

struct path_store {
  int number;
  std::wstring path;
};

using key_stores = std::vector<key_store>;
using path_stores = std::vector<path_store>;

// Native form. Appends every root store found to `roots`, numbered from ++counter, and logs
// "Root: %i  %ls" for each. Keys that cannot be opened or listed are passed over.
void locate_root_stores(int& counter, key_stores& roots);
// Native form. For each root in order: root\Installer, then root\Installer\UserData\<SID> for each
// SID (sorted), appended to `stores` numbered from ++counter; logs
// "UserData: %i  %i  Installer" and "UserData: %i  %i  Installer\UserData\%ls".
void list_installer_stores(int& counter, const key_stores& roots, key_stores& stores);

// WOW64 form, 64-bit view. Logs "Root: %i  %s" (wide) for each root found.
void locate_root_stores(int& counter, path_stores& roots);
// WOW64 form, 64-bit view. Logs "UserData: %i  %i  Installer" (narrow) and
// "UserData: %i  %i  Installer\UserData\%s" (wide).
void list_installer_stores(int& counter, const path_stores& roots, path_stores& stores);
