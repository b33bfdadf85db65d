// The folder operations on single folders and on the client GUID folders of the common
// application-data folder.
#include "cleanup/folders.h"

#include <windows.h>

#include <boost/filesystem.hpp>
#include <exception>

#include "cleanup/shell_folders.h"
#include "cleanup/tree_removal.h"
#include "replay/log/log.h"
#include "replay/log/log_exception.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"

namespace {

// Narrow paths are in the ANSI code page; the removal itself works on wide paths so that no
// name below the folder is lost to conversion.
std::uintmax_t remove_found_folder(const std::string& path) {
  return remove_tree(replay::to_wide(path));
}

// RemoveDirectoryA, except on a link: that goes through the link-safe removal, since some
// systems resolve a link given to RemoveDirectory and delete its (empty) target instead.
bool remove_empty(const std::string& path) {
  const std::wstring wide = replay::to_wide(path);
  if (!is_link(wide)) return RemoveDirectoryA(path.c_str()) != FALSE;
  try {
    remove_tree(wide);
    return true;
  } catch (const boost::filesystem::filesystem_error& e) {
    SetLastError(static_cast<DWORD>(e.code().value()));
    return false;
  }
}

bool is_directory(const WIN32_FIND_DATAA& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether `folder` (ending in "\") holds a plain file named "Corvane_Client.*".
bool holds_client_file(const std::string& folder) {
  WIN32_FIND_DATAA data = {};
  replay::find_handle find(FindFirstFileA((folder + "Corvane_Client.*").c_str(), &data));
  if (!find) return false;
  do {
    if (!is_directory(data)) return true;
  } while (FindNextFileA(find.get(), &data));
  return false;
}

void clean_guid_folder(const std::string& common, const std::string& name) {
  if (holds_client_file(common + name + "\\")) {
    remove_folder(common + name);
  } else {
    replay::log_info("%s\\%s - ignore folder", common.c_str(), name.c_str());
  }
}

}  // namespace

bool remove_folder(const std::string& path) {
  try {
    if (!boost::filesystem::exists(replay::to_wide(path))) {
      replay::log_info("Folder to remove '%s' does NOT EXIST !", path.c_str());
      return false;
    }
    if (remove_found_folder(path) > 0) {
      replay::log_info(". Folder '%s' was removed", path.c_str());
      return true;
    }
  } catch (const std::exception& e) {
    replay::log_exception(e.what());
  } catch (...) {
  }
  replay::log_info("! Failed to remove folder '%s' !", path.c_str());
  return false;
}

void remove_empty_folder(const std::string& path) {
  try {
    const boost::filesystem::path folder(replay::to_wide(path));
    if (!boost::filesystem::exists(folder)) {
      replay::log_info("Folder to remove '%s' does NOT EXIST !", path.c_str());
    } else if (!boost::filesystem::is_empty(folder)) {
      replay::log_info("Do NOT removing folder '%s', as it is not empty !", path.c_str());
    } else if (remove_empty(path)) {
      replay::log_info("Removed empty folder '%s' !", path.c_str());
    } else {
      replay::log_info("Failed to remove empty folder '%s', GetLastError()=%u !", path.c_str(),
                       static_cast<unsigned>(GetLastError()));
    }
  } catch (...) {
  }
}

void remove_guid_folders_with_client_files() {
  const std::string common = common_appdata_folder();
  WIN32_FIND_DATAA data = {};
  replay::find_handle find(FindFirstFileA((common + "*").c_str(), &data));
  if (!find) return;
  do {
    const std::string name = data.cFileName;
    if (!is_directory(data) || name.empty() || name[0] == '.') continue;
    if (name[0] == '{') clean_guid_folder(common, name);
  } while (FindNextFileA(find.get(), &data));
}
