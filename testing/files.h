// Files and folders made for a test, read back, and removed after it.
#pragma once

#include <string>
#include <vector>

#include "replay/unique_handle.h"

namespace test_support {

// One file of a seeding table: its full path and its bytes.
struct seeded_file {
  std::wstring path;
  std::string content = "x";
};

// Creates the file (and its missing parent folders) holding `content`; false when it cannot.
bool make_file(const std::wstring& path, const std::string& content = "x");
bool make_file(const std::string& path, const std::string& content = "x");  // ANSI path
// Creates every file of the table; false when one of them cannot be written.
bool seed_files(const std::vector<seeded_file>& files);
// Creates the folder and its missing parents.
void make_folder(const std::wstring& path);
bool exists(const std::wstring& path);
void set_read_only(const std::wstring& path, bool read_only);
// Opens the file with every sharing mode, delete included: a removal then only marks it, it
// stays until the handle closes, and its folder cannot go before (ERROR_DIR_NOT_EMPTY).
replay::scoped_handle open_shared(const std::wstring& path);
// The whole file, or "<missing>" when it cannot be opened.
std::string read_file(const std::wstring& path);
std::string read_file(const std::string& path);  // ANSI path
// Names of the plain files directly in `folder`.
std::vector<std::wstring> files_in(const std::wstring& folder);
// Removes the tree, read-only files included; a link inside is removed, never entered. A missing
// tree is no error.
void remove_forced(const std::wstring& path);

}  // namespace test_support
