// The folder operations that reach into every user profile. Profiles are written by their
// users, so nothing on the way from the profiles folder to the folder being removed may be a
// link: a link there is never entered (and named in the log), and a link in the last place is
// removed itself.
#include <shlobj.h>
#include <windows.h>

#include <boost/filesystem.hpp>
#include <exception>
#include <vector>

#include "cleanup/entry_walk.h"
#include "cleanup/folders.h"
#include "cleanup/tree_removal.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/unicode/unicode.h"

namespace fs = boost::filesystem;

namespace {

const wchar_t kVirtualStore[] = L"AppData/Local/VirtualStore/ProgramData/Ravelins";

// The shell folder `csidl`, made complete; false when the shell cannot resolve it.
bool shell_folder(int csidl, fs::path* folder) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return false;
  *folder = fs::system_complete(buffer);
  return true;
}

// The profiles listed in the profiles folder: folders only. An entry that is itself a link is
// no user's profile (Windows keeps such links there for old programs): it is passed over.
std::vector<nt_file::listed_entry> listed_profiles(const fs::path& profiles) {
  entry_walk::open_folder folder;
  if (!entry_walk::open_shell_folder(profiles.wstring(), &folder)) {
    nt_file::fail("boost::filesystem::directory_iterator::construct", profiles.wstring(),
                  ERROR_PATH_NOT_FOUND);
  }
  std::vector<nt_file::listed_entry> found;
  for (nt_file::listed_entry& entry : nt_file::list(folder.handle.get(), folder.path)) {
    const bool folder_entry = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder_entry && !entry_walk::is_link(entry)) found.push_back(std::move(entry));
  }
  return found;
}

// Whether `target`, below the profiles folder, exists. A link on the way is refused with a line
// that names it, and the target counts as missing.
bool exists_below(const fs::path& profiles, const fs::path& target) {
  try {
    return entry_exists_below(profiles.wstring(), target.wstring());
  } catch (const entry_walk::link_refused&) {
    return false;
  }
}

// The folder that holds the profiles of all users, or false.
bool profiles_folder(fs::path* folder) {
  fs::path profile;
  if (!shell_folder(CSIDL_PROFILE, &profile)) return false;
  *folder = profile.parent_path();
  return true;
}

// The system error of a failure being handled: the filesystem error's own code, or the
// thread's last error for anything else.
int error_code_of(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const fs::filesystem_error& e) {
    return e.code().value();
  } catch (...) {
    return static_cast<int>(GetLastError());
  }
}

// The all-users folder that the per-profile removal never touches: the parent of the common
// application-data folder, in portable form without trailing "/".
bool all_users_folder(std::wstring* folder) {
  fs::path common;
  if (!shell_folder(CSIDL_COMMON_APPDATA, &common)) return false;
  *folder = common.parent_path().generic_wstring();
  while (!folder->empty() && folder->back() == L'/') folder->pop_back();
  return true;
}

// Each step reaches the profile and the folders below it by handle from the profiles folder, so
// a profile's user cannot swap a folder for a link between the check and the removal.
void remove_in_profile(const fs::path& profiles, const fs::path& profile,
                       const std::wstring& relative) {
  const fs::path target = profile / relative;
  if (!exists_below(profiles, target)) return;
  replay::log_info(replay::would(L"removing %s", L"would remove %s"),
                   target.generic_wstring().c_str());
  remove_tree_below(profiles.wstring(), target.wstring());
}

void remove_in_all_profiles(const std::wstring& relative) {
  std::wstring all_users;
  fs::path profiles;
  if (!all_users_folder(&all_users) || !profiles_folder(&profiles)) return;
  for (const nt_file::listed_entry& entry : listed_profiles(profiles)) {
    const fs::path profile = profiles / entry.name;
    try {
      if (profile.generic_wstring() != all_users) remove_in_profile(profiles, profile, relative);
    } catch (...) {
      replay::log_error(
          "Error occured in remove_dir_in_userappdata_for_allprofiles(), System Error Code = %d",
          error_code_of(std::current_exception()));
    }
  }
}

}  // namespace

int rmove_virtual_store() {
  fs::path profiles;
  if (!profiles_folder(&profiles)) return -1;
  std::uintmax_t removed = 0;
  for (const nt_file::listed_entry& entry : listed_profiles(profiles)) {
    try {
      const fs::path target = profiles / entry.name / kVirtualStore;
      if (exists_below(profiles, target)) {
        removed += remove_tree_below(profiles.wstring(), target.wstring());
      }
    } catch (...) {
      replay::log_info("Error occured in rmove_virtual_store(), System Error Code = %d",
                       error_code_of(std::current_exception()));
    }
  }
  return static_cast<int>(removed);
}

void remove_dir_in_userappdata_for_allprofiles(const std::wstring& relative) {
  if (relative.empty()) {
    replay::log_info(
        "empty parameter is not allowed for remove_dir_in_userappdata_for_allprofiles()");
    return;
  }
  try {
    remove_in_all_profiles(relative);
  } catch (...) {
    replay::log_error("exeption in remove_dir_in_userappdata_for_allprofiles");
  }
}

void remove_dir_in_userappdata_for_allprofiles(const std::string& relative) {
  std::wstring wide;
  try {
    wide = replay::to_wide(relative);
  } catch (...) {
    replay::log_error("exeption in remove_dir_in_userappdata_for_allprofiles");
    return;
  }
  remove_dir_in_userappdata_for_allprofiles(wide);
}
