// Small registry writers and readers for seeding and inspecting a machine, with an explicit
// registry view (the code under test must be checked from outside its own view too).
#pragma once

#include <windows.h>

#include <string>

namespace seed {

// KEY_WOW64_64KEY or KEY_WOW64_32KEY, or 0 for the calling program's own view.
using view = REGSAM;

void create_key(HKEY root, view v, const std::wstring& path);
void set_string(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                const std::wstring& value);
void set_dword(HKEY root, view v, const std::wstring& path, const std::wstring& name, DWORD value);
bool key_exists(HKEY root, view v, const std::wstring& path);
// "absent", or the value's text or number.
std::string value_state(HKEY root, view v, const std::wstring& path, const std::wstring& name);
// Deletes the key and everything below it; absent keys are fine.
void delete_tree(HKEY root, view v, const std::wstring& path);

// The packed form in which Windows Installer names its keys: written here independently of the
// cleaner's own code, so that a fault there cannot hide itself in the seeding.
std::wstring packed_guid(const std::wstring& guid);

std::string narrow(const std::wstring& text);
std::wstring wide(const std::string& text);

}  // namespace seed
