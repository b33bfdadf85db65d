// Files written where other accounts can create names: a shared temporary folder, folders below
// the common application-data folder. Such a name may have been planted as a link (symbolic or
// hard) to a file that is not ours; these functions never write, cut or move through one.
//
// A plain file is one whose open handle shows no directory, no reparse point and exactly one
// link, and whose final path is the name it was opened by. The last check is what shows a
// symbolic link where the file system hands out a handle to the link's target instead of the
// link (Wine does so for Unix symbolic links, which look like the target in every other way).
//
// A planted name is never deleted: deleting through a link can take its target with it (Wine's
// DeleteFile does). Instead a fresh file is made under a name of our own beside it and renamed,
// through its handle, over the planted name: that replaces the name itself and leaves the file
// it led to as it was.
//
// `access` is what the caller needs of the handle (rename_plain_file and delete_plain_file need
// DELETE). Leave DELETE out of a file that others may read while it is open: a handle with
// DELETE access keeps out every reader that does not share deleting. Failures give an empty
// handle with GetLastError() set; kNotAPlainFile when a name is not a plain file.
#pragma once

#include <windows.h>

#include <string>

#include "replay/unique_handle.h"

namespace replay {

constexpr DWORD kNotAPlainFile = ERROR_CANT_ACCESS_FILE;

// An existing plain file. A name that is not one is left as it is.
scoped_handle open_plain_file(const std::wstring& path, DWORD access, DWORD share);

// A new, empty plain file; fails (ERROR_FILE_EXISTS) when anything holds the name already.
scoped_handle create_plain_file(const std::wstring& path, DWORD access, DWORD share);

// A new, empty plain file that replaces whatever file or link held the name.
scoped_handle replace_with_plain_file(const std::wstring& path, DWORD access, DWORD share);

// The existing plain file to append to, or a new one when there is none. A name that holds a
// link is replaced by a new file.
scoped_handle open_plain_file_to_append(const std::wstring& path, DWORD access, DWORD share);

// Renames the file of `file` (a plain file opened by the functions above) to `path`, replacing
// a file or link of that name when `replace` is set. The rename goes through the handle, so it
// moves this file whatever the old name holds by now.
bool rename_plain_file(HANDLE file, const std::wstring& path, bool replace);

// Deletes the file of `file` through its handle (a file that these functions made).
bool delete_plain_file(HANDLE file);

// The wide form of an ANSI path, as the "A" functions of Windows read it.
std::wstring ansi_path(const std::string& path);

}  // namespace replay
