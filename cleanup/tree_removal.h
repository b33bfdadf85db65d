// Recursive removal that never follows a link and leaves no window between a check and the
// deletion it allows. Each folder is opened by handle relative to its parent, proved on the
// handle to be the plain folder its parent listed, listed through that handle, and each entry
// is opened relative to it and deleted through its own handle (entry_walk.h). A junction,
// symbolic link or other reparse point inside is taken away itself, never the folder or file it
// points to; when the link cannot be taken away the removal fails and the target is untouched.
// The attribute FILE_ATTRIBUTE_REPARSE_POINT decides, not the reparse tag, which some file
// systems do not report.
//
// Every deletion is a change of the change layer (replay/change/change_layer.h) named by the
// entry's full path: a file or link a delete_file, a folder a remove_folder once its entries are
// gone, an entry left to the restart a schedule_at_restart. Taking a read-only attribute off is
// part of the file's deletion. In a report-only run the walk is the same, safety checks
// included, but entries are opened only to read them, nothing is deleted, and what was planned
// away no longer lists or exists; a file held open by another process is not seen as in use.
#pragma once

#include <cstdint>
#include <string>

#include "cleanup/entry_walk.h"

// Removes `path` with everything below it. A path that does not exist is no error (0). Returns
// the number of removed entries. A read-only file loses that attribute (through its own handle)
// and goes. A file in use (held open without delete sharing, or a loaded program image) is
// scheduled for deletion at the next restart, and so is each folder it keeps from going; each is
// logged, and the rest of the folder goes on. `deferred`, when given, tells whether `path` itself
// was left to the restart. Stops at the first entry that cannot be removed otherwise (a link that
// cannot be deleted, ...) and throws boost::filesystem::filesystem_error; what was removed before
// stays removed. An entry that turns out to be a link or another entry than listed is left
// (entry_walk::link_refused, thrown once the rest of its folder is gone). The folders above
// `path` are taken as they are: prefer remove_tree_below.
std::uintmax_t remove_tree(const std::wstring& path, bool* deferred = nullptr);

// The same for a `path` built from `shell_folder`: no folder between the shell folder and the
// last component may be a link (refused with a log line that names it, entry_walk::link_refused).
std::uintmax_t remove_tree_below(const std::wstring& shell_folder, const std::wstring& path,
                                 bool* deferred = nullptr);

// Removes the entry listed in `parent` with everything below it, as remove_tree does.
std::uintmax_t remove_listed(const entry_walk::open_folder& parent,
                             const nt_file::listed_entry& entry, bool* deferred = nullptr);

// Removes the folder listed in `parent` only when it is empty. Returns the Windows error (0 when
// removed; ERROR_DIR_NOT_EMPTY when something is in it). A link is removed itself.
DWORD remove_listed_if_empty(const entry_walk::open_folder& parent,
                             const nt_file::listed_entry& entry);

// Whether `path` exists itself, a link included whatever it points to. Never follows the last
// component.
bool entry_exists(const std::wstring& path);

// Whether `path`, below `shell_folder`, exists; a link on the way throws as remove_tree_below.
bool entry_exists_below(const std::wstring& shell_folder, const std::wstring& path);

// Whether `path` is a reparse point (junction, symbolic link, ...).
bool is_link(const std::wstring& path);
