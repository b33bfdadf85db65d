// remove_mutual_plugin_logs: deletes the plug-in's data and log folders, for every user
// profile too, once no product uses the plug-in.
#include <windows.h>

#include <shlobj.h>

#include <string>

#include "cleanup/folders.h"
#include "cleanup/tree_removal.h"
#include "setup_dll/action_boundary.h"
#include "setup_dll/module.h"
#include "setup_dll/mutual_plugin.h"
#include "setup_dll/setupmate.h"

namespace {

// `folder` relative to the current user's profile folder (without a leading "\"), or empty
// text when it does not lie below it.
std::wstring relative_to_profile(const std::wstring& folder, const std::wstring& profile) {
  if (profile.empty() || folder.size() < profile.size()) return std::wstring();
  if (_wcsnicmp(folder.c_str(), profile.c_str(), profile.size()) != 0) return std::wstring();
  std::wstring rest = folder.substr(profile.size());
  if (!rest.empty() && rest[0] == L'\\') rest.erase(0, 1);
  return rest;
}

void remove_in_all_profiles(const std::wstring& user_component) {
  wchar_t profile[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile) != S_OK) return;
  remove_dir_in_userappdata_for_allprofiles(relative_to_profile(user_component, profile));
}

void remove_plugin_folders(const module_names& names) {
  // The log lives in the common component folder: close it before the folder goes.
  close_module_log();
  remove_tree_below(names.common_root, names.common_component);
  RemoveDirectoryW((names.common_root + names.company).c_str());
  remove_in_all_profiles(names.user_component);
  remove_tree_below(names.user_root, names.user_component);
  RemoveDirectoryW((names.user_root + names.company).c_str());
}

}  // namespace

extern "C" UINT __stdcall remove_mutual_plugin_logs(MSIHANDLE /*install*/) {
  try {
    if (count_products(product_scope::all_users) != 0) return ERROR_SUCCESS;
    remove_plugin_folders(module());
  } catch (...) {
    report_exception("remove_mutual_plugin_logs");
  }
  return ERROR_SUCCESS;
}
