#include "cleanup/tree_removal.h"

#include <windows.h>

#include <exception>

namespace {

using entry_walk::open_folder;
using nt_file::listed_entry;
using nt_file::open_as;

bool is_separator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// "C:\a\b\" names the same entry as "C:\a\b"; without the separator the last component is
// looked at itself instead of being entered (which would follow a link).
std::wstring without_trailing_separators(std::wstring path) {
  while (path.size() > 1 && is_separator(path.back()) && path[path.size() - 2] != L':') {
    path.pop_back();
  }
  return path;
}

// Deletes the entry through a handle opened on it, proved to be the entry listed.
void delete_listed(const open_folder& parent, const listed_entry& entry, open_as kind) {
  const replay::scoped_handle handle = entry_walk::open_listed(parent, entry, kind);
  const DWORD code = nt_file::delete_on_close(handle.get());
  if (code != 0) nt_file::fail("boost::filesystem::remove", parent.path + L"\\" + entry.name, code);
}

// Removes every entry of the folder. An entry refused as a link does not stop the others: the
// refusal is thrown once they are gone.
std::uintmax_t remove_children(const open_folder& folder) {
  std::uintmax_t count = 0;
  std::exception_ptr refused;
  for (const listed_entry& entry : nt_file::list(folder.handle.get(), folder.path)) {
    try {
      count += remove_listed(folder, entry);
    } catch (const entry_walk::link_refused&) {
      if (!refused) refused = std::current_exception();
    }
  }
  if (refused) std::rethrow_exception(refused);
  return count;
}

bool is_directory(const listed_entry& entry) {
  return (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::uintmax_t remove_listed(const open_folder& parent, const listed_entry& entry) {
  if (entry_walk::is_link(entry)) {
    delete_listed(parent, entry, open_as::link);
    return 1;
  }
  if (!is_directory(entry)) {
    delete_listed(parent, entry, open_as::file);
    return 1;
  }
  const std::uintmax_t count = remove_children(entry_walk::open_listed_folder(parent, entry));
  delete_listed(parent, entry, open_as::folder);
  return count + 1;
}

DWORD remove_listed_if_empty(const open_folder& parent, const listed_entry& entry) {
  if (entry_walk::is_link(entry)) {
    try {
      delete_listed(parent, entry, open_as::link);
      return 0;
    } catch (const boost::filesystem::filesystem_error& e) {
      return static_cast<DWORD>(e.code().value());
    }
  }
  if (!is_directory(entry)) return ERROR_DIRECTORY;
  const std::wstring path = parent.path + L"\\" + entry.name;
  // Listed first without asking for delete access, which a process working in the folder
  // (its current folder, say) can deny: a folder that is not empty is reported as such.
  if (!nt_file::list(entry_walk::open_listed(parent, entry, open_as::walk).get(), path).empty()) {
    return ERROR_DIR_NOT_EMPTY;
  }
  const replay::scoped_handle handle = entry_walk::open_listed(parent, entry, open_as::folder);
  if (!nt_file::list(handle.get(), path).empty()) return ERROR_DIR_NOT_EMPTY;
  return nt_file::delete_on_close(handle.get());
}

std::uintmax_t remove_tree(const std::wstring& path) {
  const entry_walk::located found = entry_walk::locate(path);
  return found.exists ? remove_listed(found.parent, found.entry) : 0;
}

std::uintmax_t remove_tree_below(const std::wstring& shell_folder, const std::wstring& path) {
  const entry_walk::located found = entry_walk::locate_below(shell_folder, path);
  return found.exists ? remove_listed(found.parent, found.entry) : 0;
}

bool entry_exists(const std::wstring& path) {
  return GetFileAttributesW(without_trailing_separators(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool entry_exists_below(const std::wstring& shell_folder, const std::wstring& path) {
  return entry_walk::locate_below(shell_folder, path).exists;
}

bool is_link(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(without_trailing_separators(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
