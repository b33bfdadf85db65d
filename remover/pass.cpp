#include "remover/pass.h"

#include <windows.h>

#include <memory>

#include "cleanup/folders.h"
#include "cleanup/plain_name.h"
#include "cleanup/processes.h"
#include "cleanup/services.h"
#include "cleanup/shell_folders.h"
#include "msi_cleaner/clean_installer_database.h"
#include "msi_cleaner/reg_delete_key_ex.h"
#include "msi_cleaner/wow64_process.h"
#include "remover/command_line.h"
#include "remover/guarded.h"
#include "remover/removed_folders.h"
#include "remover/software_registry.h"
#include "remover/start_menu.h"
#include "remover/uninstall_record.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/mutex/hold_point.h"
#include "replay/unicode/unicode.h"
#include "toolkit/toolkit31x_remover.h"

namespace {

void empty_line() {
  guarded("log", [] { replay::log_info("%s", ""); });
}

// The brand names folders below Program Files: one that is not a plain folder name ("", "..",
// "a\b") would name another folder there, or Program Files itself.
bool usable_brand(const std::string& brand_name) {
  if (is_plain_name(brand_name)) return true;
  replay::log_info(
      "ATTENTION: brand name '%s' is not a plain folder name: the Program Files folders named by "
      "it are kept",
      printable(brand_name).c_str());
  return false;
}

// The DisplayName of the product's Uninstall entry; empty when the entry or the value is
// missing (never written, or deleted by an earlier run that was cut off).
std::wstring display_name_or_empty(const std::string& product) {
  try {
    return read_display_name(product);
  } catch (...) {
    return std::wstring();
  }
}

// Without a DisplayName the product's name names its Start-menu folders, so that they still go.
// The log is not open when the name is read, so the fallback is logged here.
void remove_start_menu_folders(std::string display_name, const std::string& product,
                               const std::string& brand_name) {
  if (display_name.empty()) {
    replay::log_info(
        "ATTENTION: no DisplayName in the Uninstall entry of '%s': the product name is used for "
        "the Start-menu folders",
        product.c_str());
    display_name = product;
  }
  remove_start_menu_shortcuts(display_name, brand_name);
}

// Each UTF-16 unit's low byte, as the Start-menu step has always named the folder.
std::string low_bytes(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += static_cast<char>(c & 0xFF);
  return narrow;
}

// An install location the Uninstall entry does not give is the default brand's folder below
// Program Files: always the default brand, whatever brand the command line names.
void fall_back_to_default_install_location(product_uninstall_record& record,
                                           const std::string& default_brand) {
  if (!record.install_location.empty()) return;
  guarded("install location fallback",
          [&] { record.install_location = program_files_folder() + default_brand + "\\"; });
}

// The command-line line, when the command line named the names.
void log_command_line(const pass_settings& settings) {
  if (settings.names_given) replay::log_info("%s", command_line_log_text(settings.names).c_str());
}

// A process that is not running is skipped without a log line. A failure ends this step only.
void end_process_if_running(const std::string& name) {
  const std::string where = "close_process(" + name + ")";
  guarded(where.c_str(), [&] {
    if (is_process_running(name)) close_process(name);
  });
}

// Takes the product off the Dizavad's list and, when no product uses the Dizavad any more,
// removes the update service, the Dizavad and the brand's Program Files folder if it became
// empty. TOOLKIT, the Dizavad's own entry, is no product (and QLPRO and MZPRO are one), so an
// entry count of 1 may still be a product that needs all three. An unreadable list leaves the
// count unknown: then nothing shared is removed.
void unregister_and_remove_dizavad(const std::string& brand_name, bool& removed) {
  std::unique_ptr<toolkit31x_remover> dizavad;
  try {
    dizavad = std::make_unique<toolkit31x_remover>(L"Ravelins", L"Suite", L"Suite Service",
                                                   L"RavelinSuiteService.exe");
  } catch (...) {
    replay::log_exception("toolkit31x_remover()");
    return;
  }
  dizavad->unregister_product_from_toolkit_31x(L"CVPRO");
  empty_line();
  const int products = dizavad->count_products_using_toolkit_31x();
  if (products == toolkit_remover::unknown_product_count) {
    replay::log_info("Registered products unknown: update service and Dizavad 3.1.x are kept");
    return;
  }
  if (products != 0) return;
  remove_service("Corvane Update Service", "cvus.exe", true);
  dizavad->remove_toolkit_31x();
  removed = true;
  if (!usable_brand(brand_name)) return;
  guarded("remove_brand_folder_after_dizavad()", [&] {
    remove_empty_folder_below(program_files_folder(), program_files_folder() + brand_name);
  });
}

void remove_brand_program_folder(const std::string& brand_name, const std::string& product) {
  if (!usable_brand(brand_name)) return;
  remove_folder_below(program_files_folder(), program_files_folder() + brand_name + "\\" + product);
}

// The brand's Program Files folder is first tried while the product's own folder is still in
// it; once the Dizavad and that folder are gone it is removed when it has become empty, so that
// no empty folder is left for a later run to find.
void remove_emptied_brand_folder(bool dizavad_removed, const std::string& brand_name) {
  if (!dizavad_removed || !is_plain_name(brand_name)) return;
  const std::string folder = program_files_folder() + brand_name;
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (replay::changes().removed_path(replay::to_wide(folder))) return;
  remove_empty_folder_below(program_files_folder(), folder);
}

// The install location comes from the product's Uninstall entry: only a full path of plain
// folder names is used, so that it cannot name a drive's root or climb out with "..".
void remove_install_location(const std::string& install_location) {
  if (install_location.empty()) return;
  if (!is_plain_path(install_location)) {
    replay::log_info("ATTENTION: install location '%s' is not a plain folder path: it is kept",
                     printable(install_location).c_str());
    return;
  }
  remove_empty_folder(install_location);
}

void remove_application_data_folders(const std::string& product) {
  try {
    remove_folder_below(appdata_folder(), appdata_folder() + product);
    remove_folder_below(common_appdata_folder(), common_appdata_folder() + product);
  } catch (...) {
  }
}

void clean_installer_database(const std::wstring& upgrade_code, const std::wstring& journal_key) {
  installer_cleaner cleaner;
  cleaner.journal_key = journal_key;
  if (is_wow64_process()) {
    clean_installer_database_wow64(cleaner, upgrade_code);
  } else {
    clean_installer_database_native(cleaner, upgrade_code);
  }
}

}  // namespace

pass_settings prepare_cleanup_pass(const run_settings& names, bool names_given) {
  pass_settings settings;
  settings.names = names;
  settings.names_given = names_given;
  guarded("bind_reg_delete_key_ex()", bind_reg_delete_key_ex);
  guarded("read_display_name()",
          [&] { settings.start_menu_name = low_bytes(display_name_or_empty("Corvane")); });
  return settings;
}

product_uninstall_record find_product() {
  product_uninstall_record record("Corvane");
  guarded("search_product_info()", [&] { search_product_info(record); });
  fall_back_to_default_install_location(record, "Ravelins");
  return record;
}

removed_folders folders_the_pass_removes(const pass_settings& settings,
                                         const product_uninstall_record& record) {
  removed_folders removed;
  const std::string& brand = settings.names.brand_name;
  guarded("program folders", [&] {
    if (is_plain_name(brand)) removed.add(program_files_folder() + brand);  // the product's in it
    removed.add(program_files_folder() + "Ravelins");                       // the Dizavad's
  });
  if (is_plain_path(record.install_location)) removed.add(record.install_location);
  guarded("data folders", [&] {
    removed.add(appdata_folder() + "Corvane");
    removed.add(common_appdata_folder() + "Corvane");
    removed.add(appdata_folder() + "Ravelins");  // the Dizavad's, in every profile too
    removed.add(common_appdata_folder() + "Ravelins");
    std::string profiles = profile_folder();
    while (!profiles.empty() && profiles.back() == '\\') profiles.pop_back();
    profiles = profiles.substr(0, profiles.rfind('\\'));
    const std::string profile = profile_folder();
    const std::string appdata = appdata_folder();
    if (appdata.compare(0, profile.size(), profile) == 0) {
      removed.add_in_every_profile(profiles, appdata.substr(profile.size()) + "Ravelins");
    }
    removed.add_in_every_profile(profiles, "AppData\\Local\\VirtualStore\\ProgramData\\Ravelins");
  });
  return removed;
}

void run_cleanup_pass(const pass_settings& settings) {
  run_cleanup_pass(settings, find_product());
}

void run_cleanup_pass(const pass_settings& settings, product_uninstall_record record) {
  const std::string& brand = settings.names.brand_name;
  bool dizavad_removed = false;
  guarded("log_command_line()", [&] { log_command_line(settings); });
  end_process_if_running("RavelinLauncher.exe");
  end_process_if_running("cvagent.exe");
  empty_line();
  guarded("toolkit31x_remover", [&] { unregister_and_remove_dizavad(brand, dizavad_removed); });
  empty_line();
  guarded("clean_software_registry()", [] { clean_software_registry(L"Corvane"); });
  guarded("remove_guid_folders_with_client_files()", remove_guid_folders_with_client_files);
  guarded("remove_start_menu_shortcuts()",
          [&] { remove_start_menu_folders(settings.start_menu_name, "Corvane", brand); });
  replay::hold_point("folders.start menu removed");
  guarded("remove_application_data_folders()", [] { remove_application_data_folders("Corvane"); });
  guarded("remove_folder()", [&] { remove_brand_program_folder(brand, "Corvane"); });
  guarded("remove_install_location()", [&] { remove_install_location(record.install_location); });
  guarded("remove_emptied_brand_folder()",
          [&] { remove_emptied_brand_folder(dizavad_removed, brand); });
  guarded("rmove_virtual_store()", rmove_virtual_store);
  empty_line();
  guarded("clean_installer_database()", [] {
    clean_installer_database(L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}",
                             L"SOFTWARE\\Purgeline journal");
  });
}
