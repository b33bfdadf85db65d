// The folder operations that reach into every user profile. Profiles are written by their
// users, so nothing on the way from the profiles folder to the folder being removed may be a
// link: a link there is never entered, and a link in the last place is removed itself.
#include <shlobj.h>
#include <windows.h>

#include <boost/filesystem.hpp>
#include <exception>
#include <vector>

#include "cleanup/folders.h"
#include "cleanup/tree_removal.h"
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

// The folders of `relative` (split at "\" and "/"; empty and "." parts dropped).
std::vector<std::wstring> components(const std::wstring& relative) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (const wchar_t c : relative + L"/") {
    if (c != L'\\' && c != L'/') {
      part += c;
      continue;
    }
    if (!part.empty() && part != L".") parts.push_back(part);
    part.clear();
  }
  return parts;
}

// Whether `relative` below `profile` is reached without entering a link: the profile and every
// folder on the way must be real folders. The last component is not entered.
bool reachable_without_links(const fs::path& profile, const std::wstring& relative) {
  if (is_link(profile.wstring())) return false;
  const std::vector<std::wstring> parts = components(relative);
  fs::path current = profile;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    current /= parts[i];
    if (is_link(current.wstring())) return false;
  }
  return !parts.empty();
}

// `relative` below `profile` when it exists and is reached without a link; empty otherwise.
fs::path existing_below(const fs::path& profile, const std::wstring& relative) {
  const fs::path target = profile / relative;
  if (!reachable_without_links(profile, relative) || !entry_exists(target.wstring())) return {};
  return target;
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

void remove_in_profile(const fs::path& profile, const std::wstring& relative) {
  const fs::path target = existing_below(profile, relative);
  if (target.empty()) return;
  replay::log_info(L"removing %s", target.generic_wstring().c_str());
  remove_tree(target.wstring());
}

void remove_in_all_profiles(const std::wstring& relative) {
  std::wstring all_users;
  fs::path profiles;
  if (!all_users_folder(&all_users) || !profiles_folder(&profiles)) return;
  for (const fs::directory_entry& entry : fs::directory_iterator(profiles)) {
    try {
      if (entry.path().generic_wstring() != all_users) remove_in_profile(entry.path(), relative);
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
  for (const fs::directory_entry& entry : fs::directory_iterator(profiles)) {
    try {
      const fs::path target = existing_below(entry.path(), kVirtualStore);
      if (!target.empty()) removed += remove_tree(target.wstring());
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
