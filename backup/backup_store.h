// The folder a backup writes into: every file made new (never through a name that exists
// already), every folder made or checked to be a plain folder, and the bytes written counted.
// The index is appended to line by line, so a run that is cut off still leaves its index. Every
// file and every index line is on the disk (FlushFileBuffers) before its call returns 0, so that
// the change it saves for, made next, never leaves an item whose copy a crash emptied.
#pragma once

#include <windows.h>

#include <string>

#include "replay/exception/exception.h"
#include "replay/unique_handle.h"

namespace replay {
namespace backup {

REPLAY_EXCEPTION_KIND(backup_error, replay::exception, "backup");

// The name "index.txt" of a backup's index in its folder.
extern const wchar_t kIndexName[];

class backup_store {
 public:
  // `folder` exists and is the caller's to write (no trailing backslash). Creates the index;
  // throws backup_error "cannot create the index %s (%u)" when it cannot (one exists already).
  explicit backup_store(const std::wstring& folder);

  const std::wstring& folder() const { return m_folder; }
  std::wstring path(const std::wstring& relative) const { return m_folder + L"\\" + relative; }

  // Writes `bytes` as the new file `relative` (its folders made as needed). 0 or the error.
  DWORD write_new(const std::wstring& relative, const std::string& bytes);
  // Copies the content, attributes and times of the open file `source` as the new file
  // `relative`. 0 or the error.
  DWORD copy_in(HANDLE source, const std::wstring& relative);
  // Puts a file that another program wrote into the folder on the disk and counts it. 0 or the
  // error.
  DWORD settle_file(const std::wstring& relative);
  // Appends one line to the index. 0 or the error.
  DWORD append_index(const std::string& line);

  // Bytes written so far, the index included.
  unsigned long long size() const { return m_size; }

 private:
  std::wstring m_folder;
  scoped_handle m_index;
  unsigned long long m_size = 0;
};

// Makes the folders of `path` below `base` that are missing: every one must turn out a plain
// folder, no link. 0 or the error (ERROR_CANT_ACCESS_FILE for a link or a file in the way).
DWORD make_plain_folders(const std::wstring& base, const std::wstring& relative);

// Reads the rest of the open file `file` into `bytes`. 0 or the error.
DWORD read_all(HANDLE file, std::string& bytes);

// Where a machine path is kept in a backup: "files\C\ProgramData\X" for "C:\ProgramData\X",
// "files\UNC\server\share\X" for "\\server\share\X". Empty for a path that has "." or ".." in
// it or names no drive.
std::wstring saved_file_path(const std::wstring& path);

}  // namespace backup
}  // namespace replay
