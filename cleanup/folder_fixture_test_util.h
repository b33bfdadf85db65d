// Test support: folders and files made for a test, and the profile folders of the prefix.
#pragma once

#include <string>

#include "replay/unique_handle.h"

namespace folder_fixture {

// Creates the file (and its missing parent folders) holding `content`.
void make_file(const std::wstring& path, const std::string& content = "x");
// Creates the folder and its missing parents.
void make_folder(const std::wstring& path);
bool exists(const std::wstring& path);
void set_read_only(const std::wstring& path, bool read_only);
// Opens the file with every sharing mode, delete included: a removal then only marks it, it
// stays until the handle closes, and its folder cannot go before (ERROR_DIR_NOT_EMPTY).
replay::scoped_handle open_shared(const std::wstring& path);
// Removes the tree, read-only files included. Only for trees without links.
void remove_forced(const std::wstring& path);

// SHGetFolderPathW(csidl) without a trailing "\".
std::wstring shell_folder(int csidl);
// The folder that holds every user's profile (C:\users in Wine).
std::wstring profiles_folder();
// A fresh, empty folder below the temporary folder.
std::wstring scratch_folder(const std::wstring& name);

}  // namespace folder_fixture
