// Registry writers and readers for seeding and inspecting the machine with the plain API
// (independent of the code under test), each with an explicit registry view, and seeding from a
// table of rows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test_support {

// KEY_WOW64_64KEY or KEY_WOW64_32KEY, or 0 for the calling program's own view.
using view = REGSAM;

// One row of a seeding table: a key, and a value in it unless `name` is null.
struct registry_row {
  enum kind { key_only, text, number };
  HKEY root;
  view v;
  std::wstring path;
  kind type = key_only;
  std::wstring name;
  std::wstring text_value;
  DWORD number_value = 0;
};
registry_row key_row(HKEY root, view v, const std::wstring& path);
registry_row string_row(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                        const std::wstring& value);
registry_row dword_row(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                       DWORD value);

// Writers: each creates the key (and its parents) and returns false when the registry refuses.
bool seed_registry(const std::vector<registry_row>& rows);
bool create_key(HKEY root, view v, const std::wstring& path);
bool set_value(HKEY root, view v, const std::wstring& path, const std::wstring& name, DWORD type,
               const void* data, DWORD size);
bool set_string(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                const std::wstring& value);
bool set_dword(HKEY root, view v, const std::wstring& path, const std::wstring& name, DWORD value);

// A key that exists but cannot be opened (access denied) counts as present.
bool key_exists(HKEY root, view v, const std::wstring& path);
bool value_exists(HKEY root, view v, const std::wstring& path, const std::wstring& name);
// The REG_DWORD value, or 0xFFFFFFFF when it cannot be read.
DWORD get_dword(HKEY root, view v, const std::wstring& path, const std::wstring& name);
// "absent", or the value's number, its text in quotes (ANSI) or "type N".
std::string value_state(HKEY root, view v, const std::wstring& path, const std::wstring& name);

// Deletes the value; a missing value is no error.
void delete_value(HKEY root, view v, const std::wstring& path, const std::wstring& name);
// Deletes the key with everything below it, unlocking the key itself first; a missing key is no
// error.
void delete_tree(HKEY root, view v, const std::wstring& path);
// Gives the key the protected DACL of SDDL text `sddl`; false when that fails.
bool set_dacl(HKEY root, view v, const std::wstring& path, const wchar_t* sddl);
// Gives the key an empty DACL: opening, listing and deleting it fail with 5.
void lock_key(HKEY root, view v, const std::wstring& path);
void unlock_key(HKEY root, view v, const std::wstring& path);

}  // namespace test_support
