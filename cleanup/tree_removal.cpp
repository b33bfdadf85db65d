#include "cleanup/tree_removal.h"

#include <windows.h>

#include <exception>
#include <functional>

#include "cleanup/deferred_removal.h"
#include "cleanup/processes.h"
#include "cleanup/service_programs.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"

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

// What the removal of one entry did: how many entries went, and whether the entry itself is left
// to the next restart.
struct outcome {
  std::uintmax_t removed = 0;
  bool deferred = false;
};

std::wstring path_of(const open_folder& parent, const listed_entry& entry) {
  return parent.path + L"\\" + entry.name;
}

// Makes the removal of `path` as a change of the change layer; `apply` deletes it through the
// handle that proved it. Returns the Windows error (0 when removed or, in a report-only run,
// planned).
DWORD make_removal(replay::change_kind kind, const std::wstring& path,
                   const std::function<DWORD()>& apply) {
  replay::change removal;
  removal.kind = kind;
  removal.where = path;
  return replay::changes().make(removal, apply);
}

// Deletes the link itself through a handle opened on it, proved to be the entry listed.
void delete_link(const open_folder& parent, const listed_entry& entry) {
  const replay::scoped_handle handle = entry_walk::open_listed(parent, entry, open_as::link);
  const std::wstring path = path_of(parent, entry);
  const DWORD code = make_removal(replay::change_kind::delete_file, path,
                                  [&handle] { return nt_file::delete_on_close(handle.get()); });
  if (code != 0) nt_file::fail("boost::filesystem::remove", path, code);
}

// Marks the open file for deletion, taking its read-only attribute off first where that is
// what stops it.
DWORD delete_file_through(HANDLE file) {
  DWORD code = nt_file::delete_on_close(file);
  if (code == ERROR_ACCESS_DENIED && nt_file::clear_read_only(file)) {
    code = nt_file::delete_on_close(file);
  }
  return code;
}

// Leaves the file held by `proven` to the next restart. The program of a registered service is
// kept instead: the service was kept by the clean-up (or is not the suite's) and would lose its
// program at the restart. Its folder then fails as one that cannot be removed.
outcome defer_file_in_use(const std::wstring& path, HANDLE proven) {
  if (is_service_program(path)) {
    replay::log_info(L"'%s' is in use by a registered service: it is kept", path.c_str());
    nt_file::fail("boost::filesystem::remove", path, ERROR_SHARING_VIOLATION);
  }
  deferred_removal::schedule(path, proven);
  replay::log_info(replay::would(L"'%s' is in use: it will be removed at the next restart",
                                 L"'%s' is in use: it would be removed at the next restart"),
                   path.c_str());
  return {0, true};
}

// Deletes a file, taking its read-only attribute off first where that is what stops it. A file
// that still cannot go (a program image a running process has loaded) is left to the restart.
// A report-only run opens the file only to read it, so it asks the processes instead: the program
// of a process the run keeps running is judged as in use, one of a process the run (planned to)
// end as free; a file other processes merely hold open counts as free (the report says so).
outcome remove_file(const open_folder& parent, const listed_entry& entry) {
  replay::scoped_handle handle;
  try {
    handle = entry_walk::open_listed(parent, entry, open_as::file);
  } catch (const entry_walk::link_refused&) {
    throw;
  } catch (const boost::filesystem::filesystem_error& e) {
    if (e.code().value() != ERROR_SHARING_VIOLATION) throw;
    // Held open without delete sharing: proved through a handle that only reads what it is.
    const replay::scoped_handle probe = entry_walk::open_listed(parent, entry, open_as::probe);
    return defer_file_in_use(path_of(parent, entry), probe.get());
  }
  const std::wstring path = path_of(parent, entry);
  if (replay::changes().planning() && is_program_of_running_process(path)) {
    return defer_file_in_use(path, handle.get());
  }
  const DWORD code = make_removal(replay::change_kind::delete_file, path,
                                  [&handle] { return delete_file_through(handle.get()); });
  if (code == 0) return {1, false};
  if (code != ERROR_ACCESS_DENIED) nt_file::fail("boost::filesystem::remove", path, code);
  // Opened with delete access, so the refusal is the file's state, not its permissions.
  return defer_file_in_use(path, handle.get());
}

// Removes every entry of the folder. An entry refused as a link does not stop the others: the
// refusal is thrown once they are gone.
outcome remove_children(const open_folder& folder) {
  outcome done;
  std::exception_ptr refused;
  for (const listed_entry& entry : nt_file::list(folder.handle.get(), folder.path)) {
    try {
      bool deferred = false;
      done.removed += remove_listed(folder, entry, &deferred);
      done.deferred = done.deferred || deferred;
    } catch (const entry_walk::link_refused&) {
      if (!refused) refused = std::current_exception();
    }
  }
  if (refused) std::rethrow_exception(refused);
  return done;
}

// A folder of the tree, held for the walk below it and, where the system allowed it, for its
// own deletion once it is empty (one opening instead of two).
struct held_folder {
  open_folder folder;
  bool deletable = false;
};

// Opens the listed folder with the right to delete it; where that is refused (a process working
// in the folder can deny it), only to walk it, as the folder's deletion then opens it again.
held_folder open_folder_to_remove(const open_folder& parent, const listed_entry& entry) {
  held_folder held;
  try {
    held.folder = entry_walk::open_listed_folder(parent, entry, open_as::folder);
    held.deletable = true;
  } catch (const entry_walk::link_refused&) {
    throw;
  } catch (const boost::filesystem::filesystem_error&) {
    held.folder = entry_walk::open_listed_folder(parent, entry, open_as::walk);
  }
  return held;
}

// Deletes a folder whose entries are gone, or left to the restart (`children_deferred`): then
// the folder, which still holds them, is left to the restart too, after them.
outcome remove_emptied_folder(const open_folder& parent, const listed_entry& entry,
                              const held_folder& held, bool children_deferred) {
  replay::scoped_handle reopened;
  if (!held.deletable) reopened = entry_walk::open_listed(parent, entry, open_as::folder);
  const HANDLE handle = held.deletable ? held.folder.handle.get() : reopened.get();
  const std::wstring path = path_of(parent, entry);
  if (!children_deferred) {
    const DWORD code = make_removal(replay::change_kind::remove_folder, path,
                                    [handle] { return nt_file::delete_on_close(handle); });
    if (code != 0) nt_file::fail("boost::filesystem::remove", path, code);
    return {1, false};
  }
  deferred_removal::schedule(path, handle);
  replay::log_info(
      replay::would(L"'%s' will be removed at the next restart, after what is in use in it",
                    L"'%s' would be removed at the next restart, after what is in use in it"),
      path.c_str());
  return {0, true};
}

bool is_directory(const listed_entry& entry) {
  return (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

outcome remove_entry(const open_folder& parent, const listed_entry& entry) {
  if (entry_walk::is_link(entry)) {
    delete_link(parent, entry);
    return {1, false};
  }
  if (!is_directory(entry)) return remove_file(parent, entry);
  const held_folder held = open_folder_to_remove(parent, entry);
  const outcome children = remove_children(held.folder);
  const outcome folder = remove_emptied_folder(parent, entry, held, children.deferred);
  return {children.removed + folder.removed, folder.deferred};
}

}  // namespace

std::uintmax_t remove_listed(const open_folder& parent, const listed_entry& entry, bool* deferred) {
  const outcome done = remove_entry(parent, entry);
  if (deferred != nullptr) *deferred = done.deferred;
  return done.removed;
}

DWORD remove_listed_if_empty(const open_folder& parent, const listed_entry& entry) {
  if (entry_walk::is_link(entry)) {
    try {
      delete_link(parent, entry);
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
  return make_removal(replay::change_kind::remove_folder, path,
                      [&handle] { return nt_file::delete_on_close(handle.get()); });
}

std::uintmax_t remove_tree(const std::wstring& path, bool* deferred) {
  if (deferred != nullptr) *deferred = false;
  const entry_walk::located found = entry_walk::locate(path);
  return found.exists ? remove_listed(found.parent, found.entry, deferred) : 0;
}

std::uintmax_t remove_tree_below(const std::wstring& shell_folder, const std::wstring& path,
                                 bool* deferred) {
  if (deferred != nullptr) *deferred = false;
  const entry_walk::located found = entry_walk::locate_below(shell_folder, path);
  return found.exists ? remove_listed(found.parent, found.entry, deferred) : 0;
}

bool entry_exists(const std::wstring& path) {
  const std::wstring entry = without_trailing_separators(path);
  return GetFileAttributesW(entry.c_str()) != INVALID_FILE_ATTRIBUTES &&
         !entry_walk::planned_away(entry);
}

bool entry_exists_below(const std::wstring& shell_folder, const std::wstring& path) {
  return entry_walk::locate_below(shell_folder, path).exists;
}

bool is_link(const std::wstring& path) {
  const std::wstring entry = without_trailing_separators(path);
  const DWORD attributes = GetFileAttributesW(entry.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         !entry_walk::planned_away(entry);
}
