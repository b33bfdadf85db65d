// The folder operations on single folders and on the client GUID folders of the common
// application-data folder.
#include "cleanup/folders.h"

#include <windows.h>

#include <boost/filesystem.hpp>
#include <exception>
#include <functional>

#include "cleanup/entry_walk.h"
#include "cleanup/shell_folders.h"
#include "cleanup/tree_removal.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/log/log_exception.h"
#include "replay/unicode/unicode.h"

namespace {

using entry_walk::open_folder;
using nt_file::listed_entry;

// remove_folder's lines around a check for existence and a removal that counts what it removed
// and tells whether the folder itself is left to the next restart (a file in it is in use).
bool remove_folder_logged(const std::string& path, const std::function<bool()>& exists,
                          const std::function<std::uintmax_t(bool* deferred)>& remove) {
  try {
    if (!exists()) {
      replay::log_info("Folder to remove '%s' does NOT EXIST !", path.c_str());
      return false;
    }
    bool deferred = false;
    const std::uintmax_t removed = remove(&deferred);
    if (deferred) {
      replay::log_info(replay::would(". Folder '%s' will be removed at the next restart",
                                     ". Folder '%s' would be removed at the next restart"),
                       path.c_str());
      return true;
    }
    if (removed > 0) {
      replay::log_info(replay::would(". Folder '%s' was removed", ". Folder '%s' would be removed"),
                       path.c_str());
      return true;
    }
  } catch (const std::exception& e) {
    replay::log_exception(e.what());
  } catch (...) {
  }
  replay::log_info("! Failed to remove folder '%s' !", path.c_str());
  return false;
}

// The error a failed removal of an empty folder reports; a refused link is thrown on (it is
// logged already).
DWORD remove_if_empty(const entry_walk::located& found) {
  try {
    return remove_listed_if_empty(found.parent, found.entry);
  } catch (const entry_walk::link_refused&) {
    throw;
  } catch (const boost::filesystem::filesystem_error& e) {
    return static_cast<DWORD>(e.code().value());
  }
}

// remove_empty_folder's lines for the entry found (or not) where the folder should be.
void remove_empty_logged(const std::string& path,
                         const std::function<entry_walk::located()>& find) {
  try {
    const entry_walk::located found = find();
    if (!found.exists) {
      replay::log_info("Folder to remove '%s' does NOT EXIST !", path.c_str());
      return;
    }
    const DWORD code = remove_if_empty(found);
    if (code == 0) {
      replay::log_info(
          replay::would("Removed empty folder '%s' !", "Would remove empty folder '%s' !"),
          path.c_str());
    } else if (code == ERROR_DIR_NOT_EMPTY) {
      replay::log_info("Do NOT removing folder '%s', as it is not empty !", path.c_str());
    } else {
      replay::log_info("Failed to remove empty folder '%s', GetLastError()=%u !", path.c_str(),
                       static_cast<unsigned>(code));
    }
  } catch (...) {
  }
}

bool is_directory(const listed_entry& entry) {
  return (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "Corvane_Client.*" as Windows matches it: the extension may be empty.
bool is_client_file_name(const std::wstring& name) {
  const std::wstring stem = L"corvane_client";
  if (name.size() < stem.size()) return false;
  if (CompareStringOrdinal(name.c_str(), static_cast<int>(stem.size()), stem.c_str(),
                           static_cast<int>(stem.size()), TRUE) != CSTR_EQUAL) {
    return false;
  }
  return name.size() == stem.size() || name[stem.size()] == L'.';
}

// Whether the listed folder holds a plain file named "Corvane_Client.*". A folder that cannot
// be listed holds none.
bool holds_client_file(const open_folder& common, const listed_entry& entry) {
  try {
    const open_folder folder = entry_walk::open_listed_folder(common, entry);
    for (const listed_entry& inner : nt_file::list(folder.handle.get(), folder.path)) {
      if (!is_directory(inner) && is_client_file_name(inner.name)) return true;
    }
  } catch (const entry_walk::link_refused&) {
    throw;
  } catch (const boost::filesystem::filesystem_error&) {
  }
  return false;
}

void clean_guid_folder(const std::string& common, const open_folder& folder,
                       const listed_entry& entry) {
  const std::string name = replay::to_narrow(entry.name, CP_ACP, false);
  try {
    if (entry_walk::is_link(entry)) entry_walk::refuse_link(folder.path + L"\\" + entry.name);
    if (holds_client_file(folder, entry)) {
      remove_folder_logged(
          common + name, [] { return true; },
          [&](bool* deferred) { return remove_listed(folder, entry, deferred); });
    } else {
      replay::log_info("%s\\%s - ignore folder", common.c_str(), name.c_str());
    }
  } catch (const entry_walk::link_refused&) {
  }
}

// The sub-folders of the common application-data folder, or none when it cannot be listed.
std::vector<listed_entry> list_common(const std::string& common, open_folder* folder) {
  try {
    if (entry_walk::open_shell_folder(replay::to_wide(common), folder)) {
      return nt_file::list(folder->handle.get(), folder->path);
    }
  } catch (const boost::filesystem::filesystem_error&) {
  }
  return {};
}

}  // namespace

bool remove_folder(const std::string& path) {
  return remove_folder_logged(
      path,
      [&] {
        const std::wstring wide = replay::to_wide(path);
        return boost::filesystem::exists(wide) && !entry_walk::planned_away(wide);
      },
      [&](bool* deferred) { return remove_tree(replay::to_wide(path), deferred); });
}

bool remove_folder_below(const std::string& shell_folder, const std::string& path) {
  return remove_folder_logged(
      path,
      [&] { return entry_exists_below(replay::to_wide(shell_folder), replay::to_wide(path)); },
      [&](bool* deferred) {
        return remove_tree_below(replay::to_wide(shell_folder), replay::to_wide(path), deferred);
      });
}

void remove_empty_folder(const std::string& path) {
  remove_empty_logged(path, [&] { return entry_walk::locate(replay::to_wide(path)); });
}

void remove_empty_folder_below(const std::string& shell_folder, const std::string& path) {
  remove_empty_logged(path, [&] {
    return entry_walk::locate_below(replay::to_wide(shell_folder), replay::to_wide(path));
  });
}

void remove_guid_folders_with_client_files() {
  const std::string common = common_appdata_folder();
  open_folder folder;
  for (const listed_entry& entry : list_common(common, &folder)) {
    if (is_directory(entry) && entry.name[0] == L'{') clean_guid_folder(common, folder, entry);
  }
}
