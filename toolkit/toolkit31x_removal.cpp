// Dizavad 3.1.x removal: its code, its data, its installer components, then its SharedDLLs
// counters. Each stage catches its own failures, so one that fails does not stop the next.
#include <windows.h>

#include <string>
#include <vector>

#include "cleanup/folders.h"
#include "cleanup/launch.h"
#include "cleanup/processes.h"
#include "cleanup/services.h"
#include "cleanup/shell_folders.h"
#include "msi_cleaner/remove_installer_components.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/mutex/hold_point.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"
#include "toolkit/byte_strings.h"
#include "toolkit/toolkit31x_remover.h"

namespace {

// The framework's programs and library, as its installer registered them.
const wchar_t* const kComponentFiles[] = {L"RavelinLauncher.exe", L"RavelinSuiteService.exe",
                                          L"cvhtml.dll", L"Tracegather.exe"};

// An ANSI path as the change layer names it; bytes the code page does not map stay one for one.
std::wstring wide_path(const std::string& path) {
  try {
    return replay::to_wide(path, CP_ACP);
  } catch (...) {
    return replay::to_wide(path, replay::unicode::latin1);
  }
}

// Names of the plain files (no folders) directly in `folder`, which ends in a backslash. Files
// the run has already removed (or, in a report-only run, planned to remove) are not listed.
std::vector<std::string> list_files(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  replay::find_handle find(FindFirstFileA((folder + "*").c_str(), &entry));
  if (!find) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (replay::changes().removed_path(wide_path(folder + entry.cFileName))) continue;
    names.push_back(entry.cFileName);
  } while (FindNextFileA(find.get(), &entry));
  return names;
}

// Deletes one file through the change layer: 0 or the Windows error.
DWORD delete_file(const std::string& path) {
  replay::change c;
  c.kind = replay::change_kind::delete_file;
  c.where = wide_path(path);
  return replay::changes().make(
      c, [&path]() -> DWORD { return DeleteFileA(path.c_str()) ? 0 : GetLastError(); });
}

// `path` relative to `profile` (compared without regard to case), without a leading backslash;
// empty when it does not lie below the profile folder.
std::string relative_to_profile(const std::string& path, const std::string& profile) {
  if (path.size() < profile.size() ||
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                     static_cast<int>(profile.size()), profile.c_str(),
                     static_cast<int>(profile.size())) != CSTR_EQUAL) {
    return std::string();
  }
  std::string rest = path.substr(profile.size());
  if (!rest.empty() && rest.front() == '\\') rest.erase(0, 1);
  return rest;
}

}  // namespace

// The framework goes only when no product uses it any more: an entry left in product.cfg that
// is a product (not TOOLKIT itself) keeps it, with its data and that product's registration.
void toolkit31x_remover::remove_toolkit_31x() {
  const int products = count_products_using_toolkit_31x();
  if (products == unknown_product_count) {
    replay::log_info(
        "ATTENTION: Dizavad 3.1.x is left in place, as the products that use it are "
        "not known");
  } else if (products == 0) {
    remove_code();
    remove_data();
    replay::hold_point("dizavad.data removed");
    remove_registry_components();
  }
  try {
    fix_toolkit_counters_in_shareddlls();
  } catch (...) {
  }
}

void toolkit31x_remover::remove_code() {
  try {
    replay::log_info("**** Let's remove Dizavad 3.1.x Code ****");
    left_processes left;
    stop_and_uninstall_suite_service(&left);
    const std::string install_dir = narrow_low_bytes(m_install_dir);
    remove_install_dir_files(install_dir);
    remove_folder_below(program_files_folder(), install_dir + "Languages");
    // The service program ran in the install folder: what it left (its console host) keeps the
    // folder in use until it has gone.
    left.wait_for_end();
    remove_empty_folder_below(program_files_folder(), install_dir);
    replay::log_info("%s", replay::would("Dizavad 3.1.x INSTALLDIR was removed",
                                         "Dizavad 3.1.x INSTALLDIR would be removed"));
  } catch (...) {
    replay::log_info("some exception occured while removing toolkit_31x INSTALLDIR");
  }
}

// The service program is asked first; when it fails (or is missing) the remover ends the process
// and removes the service itself. The processes the program leaves running are kept in `left`.
void toolkit31x_remover::stop_and_uninstall_suite_service(left_processes* left) {
  const std::wstring program = m_install_dir + m_suite_service_exe;
  const std::string exe = narrow_low_bytes(m_suite_service_exe);
  if (launch_and_wait_for_exit_code(program, L"/stop", m_install_dir, left) != 0) {
    close_process(exe);
  }
  if (launch_and_wait_for_exit_code(program, L"/uninstall", m_install_dir, left) != 0) {
    remove_service(narrow_low_bytes(m_suite_service_name), exe, true);
  }
}

void toolkit31x_remover::remove_install_dir_files(const std::string& install_dir) {
  for (const std::string& name : list_files(install_dir)) {
    const std::string path = install_dir + name;
    const DWORD error = delete_file(path);
    if (error == 0) {
      replay::log_info(replay::would("   %s removed", "   %s would be removed"), path.c_str());
    } else {
      replay::log_info("FAILED TO remove '%s'; error %d !", path.c_str(), static_cast<int>(error));
    }
  }
}

void toolkit31x_remover::remove_data() {
  try {
    replay::log_info("%s", "");
    replay::log_info("**** Let's remove Dizavad 3.1.x Data ****");
    const std::string vendor = narrow_low_bytes(m_vendor_folder);
    const std::string suite = vendor + "\\" + narrow_low_bytes(m_suite_folder);
    const std::string common = common_appdata_folder();
    remove_folder_below(common, common + suite);
    remove_folder_below(common, common + vendor + "\\Programs Bar");
    remove_empty_folder_below(common, common + vendor);
    const std::string appdata = appdata_folder();
    remove_dir_in_userappdata_for_allprofiles(
        relative_to_profile(appdata + suite, profile_folder()));
    remove_folder_below(appdata, appdata + suite);
    remove_empty_folder_below(appdata, appdata + vendor);
  } catch (...) {
    replay::log_info("some exception occured while removing toolkit_31x data");
  }
}

void toolkit31x_remover::remove_registry_components() {
  try {
    replay::log_info("%s", "");
    replay::log_info("**** Let's remove Dizavad 3.1.x Registry Component ****");
    for (const wchar_t* file : kComponentFiles) remove_installer_components_by_file(file);
  } catch (...) {
    replay::log_info("some exception occured while removing toolkit_31x registry components");
  }
}
