// Test support: registry keys seeded into the machine (the prefix) and removed after a test.
#pragma once

#include <windows.h>

#include <string>

namespace registry_seed {

// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall
extern const wchar_t kUninstall[];

// Creates the key (and its parents) and sets a REG_SZ value in it.
void set_string(HKEY root, const std::wstring& path, const std::wstring& name,
                const std::wstring& value);
void set_dword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
void create_key(HKEY root, const std::wstring& path);
bool key_exists(HKEY root, const std::wstring& path);
// Deletes the value; a missing value is no error.
void delete_value(HKEY root, const std::wstring& path, const std::wstring& name);
// Deletes the key with everything below it (unlocking it first); a missing key is no error.
void delete_tree(HKEY root, const std::wstring& path);
// Gives the key an empty DACL: opening, listing and deleting it fail with 5.
void lock_key(HKEY root, const std::wstring& path);
void unlock_key(HKEY root, const std::wstring& path);

// Whole Uninstall entry path of `entry`.
inline std::wstring uninstall(const std::wstring& entry) {
  return std::wstring(kUninstall) + L"\\" + entry;
}

}  // namespace registry_seed
