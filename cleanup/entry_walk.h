// Reaching an entry without passing through a link, and without a window between the check
// and the use: every folder on the way is opened by handle relative to the one before it and
// proved, on that handle, to be the plain folder its parent listed (same volume, same file
// index, no reparse point). A link on the way is refused and named in the log; so is an entry
// that changed between the listing and the opening (swapped for a link, for example). Users can
// create folders below the shell folders, so only the shell folder itself is opened by name.
//
// The proof asks one query per entry, not the volume: an entry is opened by its listed name
// relative to its folder's handle without following a reparse point, so it can lie on another
// volume only where the system follows a link all the same (Wine follows a Unix symbolic link,
// and the handle is then the target's). The name the system gives the handle shows such a
// detour: the entry must be named as its folder plus its listed name, and bear the listed file
// index. Being where its folder is, it is on its folder's volume.
#pragma once

#include <windows.h>

#include <boost/filesystem/exception.hpp>
#include <functional>
#include <string>
#include <vector>

#include "cleanup/nt_file.h"
#include "replay/unique_handle.h"

namespace entry_walk {

// An entry was a link, or not the entry listed: nothing was removed through it. The error code
// is ERROR_REPARSE_POINT_ENCOUNTERED (4395).
class link_refused : public boost::filesystem::filesystem_error {
 public:
  using boost::filesystem::filesystem_error::filesystem_error;
};

// A folder held open for the walk.
struct open_folder {
  replay::scoped_handle handle;
  std::wstring path;  // without trailing separator; for messages and logs
  std::wstring name;  // the handle's name on its volume (nt_file::place), for the proofs
};

// An entry found in its parent's listing, with the parent held open.
struct located {
  open_folder parent;
  nt_file::listed_entry entry;
  bool exists = false;
  std::wstring path() const { return parent.path + L"\\" + entry.name; }
};

// Test seam: while it lives, `hook` runs with an entry's path after its folder was listed and
// before the entry is opened, so that a test can swap the entry for a link at that very moment;
// when it ends (also when a failed assertion leaves the test early), the walk runs no hook again.
// Nothing else sets the hook: the programs never make one, and no other process can reach it.
class open_hook_for_tests {
 public:
  explicit open_hook_for_tests(std::function<void(const std::wstring& path)> hook);
  ~open_hook_for_tests();
  open_hook_for_tests(const open_hook_for_tests&) = delete;
  open_hook_for_tests& operator=(const open_hook_for_tests&) = delete;
};

// Logs that `path` is a link and throws link_refused.
[[noreturn]] void refuse_link(const std::wstring& path);

// Logs that `path` changed while it was being removed and throws link_refused.
[[noreturn]] void refuse_changed(const std::wstring& path);

// Whether the listed entry is a link (reparse point).
bool is_link(const nt_file::listed_entry& entry);

// Opens the listed entry below `folder` as `kind` and proves it is the entry listed; throws
// link_refused when it is not, boost::filesystem::filesystem_error when it cannot be opened.
replay::scoped_handle open_listed(const open_folder& folder, const nt_file::listed_entry& entry,
                                  nt_file::open_as kind);
// The same for a folder, held for a walk below it: opened as `kind` (open_as::walk, or
// open_as::folder to delete it through the same handle once it is empty).
open_folder open_listed_folder(const open_folder& folder, const nt_file::listed_entry& entry,
                               nt_file::open_as kind = nt_file::open_as::walk);

// Whether, in a report-only run, the planned changes removed `path` (made complete first) or a
// folder above it. Always false in a real run.
bool planned_away(const std::wstring& path);

// Opens a shell folder by name (trusted); false when it does not exist (or was planned away).
bool open_shell_folder(const std::wstring& path, open_folder* folder);

// The last component of `path`, with its parent opened by name.
located locate(const std::wstring& path);
// The last component of `path`, which must lie below `shell_folder`: every folder between them
// is reached by handle and must not be a link. A path outside the shell folder, or with ".."
// components, is refused (ERROR_INVALID_NAME).
located locate_below(const std::wstring& shell_folder, const std::wstring& path);

}  // namespace entry_walk
