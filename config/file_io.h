// Whole-file reads and checked, flushed writes through the Win32 file API (wide paths, no
// newline translation). Internal to the config library.
//
// The configuration's folders may be writable by other accounts, so the files written, moved or
// set aside here are plain files (replay/file/plain_file.h): a name planted there as a link to
// another file is replaced by a file of our own, and the other file is never written, cut or
// moved.
#pragma once

#include <string>

#include "replay/unique_handle.h"

namespace config {
namespace file_io {

// The whole content of `path`. Throws config::file_not_found when the file or its folder is
// missing, replay::exception for any other failure.
std::string read_all(const std::wstring& path);
// The rest of the open `file`, from its file pointer.
std::string read_all(HANDLE file);

// Opens the plain file `path` to be read and then moved through its handle. Throws
// config::file_not_found when it is missing, replay::exception when it is not a plain file (a
// link) or cannot be opened.
replay::scoped_handle open_plain(const std::wstring& path);

// Replaces `path` by a new file (never writing through what held the name) and writes all of
// `bytes` to it, checking every write, flushing the file to disk and checking the close. False
// (GetLastError() set) when the file cannot be made; throws replay::exception for any later
// failure, after deleting the incomplete file.
bool write_file(const std::wstring& path, const std::string& bytes);

// Replaces `to` by the plain file `from` in one move through the file's handle, flushed to disk.
// Throws replay::exception on failure, also when `from` is not a plain file.
void replace(const std::wstring& from, const std::wstring& to);

}  // namespace file_io
}  // namespace config
