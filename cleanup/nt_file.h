// The native file calls that handle-relative removal rests on: open an entry by name relative
// to a folder handle without following a link, list a folder through its handle, read where an
// open entry is (or its identity), delete an entry through its own handle. Paths are passed along
// to name the entry in errors and, in a report-only run, to ask the change layer what was planned
// away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "replay/unique_handle.h"

namespace nt_file {

// One entry of a folder listing ("." and ".." are left out).
struct listed_entry {
  std::wstring name;
  std::wstring short_name;  // 8.3 name, empty when there is none
  DWORD attributes = 0;
  LONGLONG file_id = 0;  // the entry's file index on its volume
};

// What an open handle shows of its entry, with the serial number of its volume.
struct identity {
  DWORD attributes = 0;
  ULONGLONG volume = 0;
  ULONGLONG file_index = 0;
};

// What an open handle shows of its entry and of where it is: its path below the root of its
// volume, as the system names it (a handle opened through a link bears the name of the link's
// target, "\a\b" for "C:\a\b").
struct place {
  DWORD attributes = 0;
  ULONGLONG file_index = 0;
  std::wstring name;
};

// Access wanted on an entry opened below a folder: a folder to walk (list only, no delete
// access, so that a folder another process holds open can still be walked), a folder, file or
// link to delete (a file also with the right to change its attributes), or any entry only to
// read what it is (which a process holding it open cannot deny). In a report-only run every kind
// is opened without the rights to delete or change the entry: only to read what it is.
enum class open_as { walk, folder, file, link, probe };

// Throws boost::filesystem::filesystem_error for `path` with the Windows error `code`.
[[noreturn]] void fail(const char* operation, const std::wstring& path, DWORD code);

// Opens the folder `path` by name, following links: only for folders the system gives (shell
// folders), whose own place is trusted. Throws; a missing folder gives an empty handle.
replay::scoped_handle open_trusted_folder(const std::wstring& path);

// Every entry of the folder behind `folder`, in the order the file system gives them. In a
// report-only run the entries below `path` that the planned changes removed are left out.
std::vector<listed_entry> list(HANDLE folder, const std::wstring& path);

// Opens `name` in `folder` without following a link (the link itself, where the system can
// open one). Returns the Windows error (0 on success).
DWORD open_below(HANDLE folder, const std::wstring& name, open_as kind,
                 replay::scoped_handle* entry);

// Reads the identity of the open entry; false when the system cannot tell it. Asking the volume
// is costly (under Wine a request to the mount manager): for an entry opened below a folder
// already proved, read_place tells as much.
bool read_identity(HANDLE entry, identity* out);

// Reads the attributes, file index and name of the open entry, in one query where the file
// system answers it; false when the system cannot tell them.
bool read_place(HANDLE entry, place* out);

// Marks the open entry for deletion; it goes when its last handle closes. Returns the Windows
// error (0 on success): a read-only file or a folder that is not empty is refused.
DWORD delete_on_close(HANDLE entry);

// Takes the read-only attribute off the open entry (opened as a file). Returns false when it
// did not have it or it cannot be changed.
bool clear_read_only(HANDLE entry);

}  // namespace nt_file
