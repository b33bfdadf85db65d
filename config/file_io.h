// Whole-file reads and checked, flushed writes through the Win32 file API (wide paths, no
// newline translation). Internal to the config library.
#pragma once

#include <string>

#include "replay/unique_handle.h"

namespace config {
namespace file_io {

// The whole content of `path`. Throws config::file_not_found when the file or its folder is
// missing, replay::exception for any other failure.
std::string read_all(const std::wstring& path);

// Creates or truncates `path` and writes all of `bytes` to it, checking every write, flushing
// the file to disk and checking the close. False (GetLastError() set) when the file cannot be
// opened for writing; throws replay::exception for any later failure, after deleting the
// incomplete file.
bool write_file(const std::wstring& path, const std::string& bytes);

// Replaces `to` by `from` in one move that writes through. Throws replay::exception on failure.
void replace(const std::wstring& from, const std::wstring& to);

}  // namespace file_io
}  // namespace config
