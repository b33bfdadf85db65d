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
#include "remover/backup_session.h"
#include "remover/backup_words.h"
#include "remover/command_line.h"
#include "remover/report_run.h"
#include "remover/software_registry.h"
#include "remover/start_menu.h"
#include "remover/temp_folder.h"
#include "remover/uninstall_record.h"
#include "remover/version_line.h"
#include "replay/change/change_layer.h"
#include "replay/log/file.h"
#include "replay/log/log.h"
#include "replay/log/log_exception.h"
#include "replay/mutex/hold_point.h"
#include "replay/unicode/unicode.h"
#include "toolkit/toolkit31x_remover.h"

namespace {

// The log is optional: a file that cannot be made leaves the run going without one.
void open_log(const std::string& base_name) {
  try {
    replay::log_add_listener(new replay::log::file(base_name));
  } catch (...) {
  }
}

// Runs one step whose failure (a shell folder that cannot be resolved, a folder walk that
// fails, a log line that cannot be written) must end only that step; the failure is logged under
// the step's name when the log still can be written. Nothing leaves it, so the pass always runs
// to its end.
template <class Step>
void guarded(const char* where, Step step) {
  try {
    step();
  } catch (...) {
    try {
      replay::log_exception(where);
    } catch (...) {
    }
  }
}

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

void fall_back_to_default_install_location(product_uninstall_record& record,
                                           const std::string& default_brand) {
  if (!record.install_location.empty()) return;
  guarded("install location fallback",
          [&] { record.install_location = program_files_folder() + default_brand + "\\"; });
}

void read_and_log_command_line(const std::string& command_line, run_settings& settings) {
  if (read_command_line(command_line, settings)) {
    replay::log_info("%s", command_line_log_text(settings).c_str());
  }
}

void end_process_if_running(const std::string& name) {
  if (is_process_running(name)) close_process(name);
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
  guarded("remove_empty_folder()", [&] {
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

// In a report-only run that asks for a backup: where a real run would save it. Nothing is saved,
// as nothing is changed.
std::string planned_backup_line(const backup_request& backup) {
  if (backup.what != backup_request::mode::backup) return std::string();
  std::string place = "'" + backup.folder + "'";
  if (backup.folder.empty()) {
    try {
      place = "a new folder named by date and time below '" +
              replay::to_narrow(default_backup_place()) + "'";
    } catch (...) {
      place = "a new folder named by date and time";
    }
  }
  return "Backup: a real run would save what it changes in " + place +
         "; a report-only run changes nothing and makes no backup";
}

}  // namespace

// Every step and every line of the pass is guarded, so that the pass always runs to its end.
// A leading "/report" makes it a report-only run: every change is only planned, and the
// report of them is written at the end. A leading "/backup..." saves what the run changes; a
// "/restore:<folder>" runs nothing but the restore.
int run_cleanup_pass(const std::string& full_command_line) {
  backup_request backup;
  std::string command_line = take_backup_word(full_command_line, backup);
  const bool report_only = take_report_switch(command_line);
  if (report_only && backup.what == backup_request::mode::none) {
    command_line = take_backup_word(command_line, backup);  // "/report /backup ..." as well
  }
  const report_run run(report_only);
  const std::string planned_backup = run.report_only() ? planned_backup_line(backup) : "";
  run_settings settings;
  std::string display_name;
  product_uninstall_record record("Corvane");
  guarded("bind_reg_delete_key_ex()", bind_reg_delete_key_ex);
  guarded("read_display_name()",
          [&] { display_name = low_bytes(display_name_or_empty("Corvane")); });
  guarded("open_log()", [] { open_log(log_base_name()); });
  guarded("version line", [&] { replay::log_info("%s", run.first_log_line().c_str()); });
  if (!planned_backup.empty())
    guarded("backup", [&] { replay::log_info("%s", planned_backup.c_str()); });
  if (backup.what == backup_request::mode::restore && run.report_only()) {
    guarded("restore", [] {
      replay::log_info(
          "ATTENTION: a restore changes the machine: it does not run in a "
          "report-only run");
    });
    guarded("log_shutdown()", replay::log_shutdown);
    return 1;
  }
  if (backup.what == backup_request::mode::restore) {
    const int code = run_restore(backup.folder);
    guarded("log_shutdown()", replay::log_shutdown);
    return code;
  }
  backup_session backup_of_run;  // a report-only run changes nothing, so it saves nothing
  if (!run.report_only() && !backup_of_run.start(backup)) {
    guarded("log_shutdown()", replay::log_shutdown);
    return 1;
  }

  guarded("search_product_info()", [&] { search_product_info(record); });
  fall_back_to_default_install_location(record, settings.brand_name);
  guarded("read_command_line()", [&] { read_and_log_command_line(command_line, settings); });
  guarded("close_process()", [] { end_process_if_running("RavelinLauncher.exe"); });
  guarded("close_process()", [] { end_process_if_running("cvagent.exe"); });
  empty_line();
  bool dizavad_removed = false;
  guarded("toolkit31x_remover",
          [&] { unregister_and_remove_dizavad(settings.brand_name, dizavad_removed); });
  empty_line();
  guarded("clean_software_registry()", [] { clean_software_registry(L"Corvane"); });
  guarded("remove_guid_folders_with_client_files()", remove_guid_folders_with_client_files);
  guarded("remove_start_menu_shortcuts()",
          [&] { remove_start_menu_folders(display_name, "Corvane", settings.brand_name); });
  replay::hold_point("folders.start menu removed");
  guarded("remove_application_data_folders()", [] { remove_application_data_folders("Corvane"); });
  guarded("remove_folder()", [&] { remove_brand_program_folder(settings.brand_name, "Corvane"); });
  guarded("remove_empty_folder()", [&] { remove_install_location(record.install_location); });
  guarded("remove_empty_folder()",
          [&] { remove_emptied_brand_folder(dizavad_removed, settings.brand_name); });
  guarded("rmove_virtual_store()", rmove_virtual_store);
  empty_line();
  guarded("clean_installer_database()", [] {
    clean_installer_database(L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}",
                             L"SOFTWARE\\Purgeline journal");
  });

  guarded("backup", [&] { backup_of_run.finish(); });
  guarded("write_report()", [&] { run.finish(settings, planned_backup); });
  guarded("log_shutdown()", replay::log_shutdown);
  return 0;
}
