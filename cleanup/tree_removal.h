// Recursive removal that never follows a link. A junction, symbolic link or other reparse point
// is taken away itself (RemoveDirectoryW or DeleteFileW on the link), never the folder or file it
// points to; when the link cannot be taken away the removal fails and the target is untouched.
// The attribute FILE_ATTRIBUTE_REPARSE_POINT decides, not the reparse tag, which some file
// systems do not report.
#pragma once

#include <cstdint>
#include <string>

// Removes `path` with everything below it. A path that does not exist is no error (0). Returns
// the number of removed entries. Stops at the first entry that cannot be removed (read-only
// file, file in use, link that cannot be deleted) and throws boost::filesystem::filesystem_error;
// what was removed before stays removed.
std::uintmax_t remove_tree(const std::wstring& path);

// Whether `path` exists itself, a link included whatever it points to. Never follows the last
// component.
bool entry_exists(const std::wstring& path);

// Whether `path` is a reparse point (junction, symbolic link, ...).
bool is_link(const std::wstring& path);
