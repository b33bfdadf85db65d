#include "remover/pass.h"

#include <memory>

#include "cleanup/folders.h"
#include "cleanup/processes.h"
#include "cleanup/services.h"
#include "cleanup/shell_folders.h"
#include "msi_cleaner/clean_installer_database.h"
#include "msi_cleaner/reg_delete_key_ex.h"
#include "msi_cleaner/wow64_process.h"
#include "remover/command_line.h"
#include "remover/software_registry.h"
#include "remover/start_menu.h"
#include "remover/temp_folder.h"
#include "remover/uninstall_record.h"
#include "remover/version_line.h"
#include "replay/log/file.h"
#include "replay/log/log.h"
#include "replay/log/log_exception.h"
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
// fails) must end only that step; the failure is logged under the step's name.
template <class Step>
void guarded(const char* where, Step step) {
  try {
    step();
  } catch (...) {
    replay::log_exception(where);
  }
}

// The DisplayName of the product's Uninstall entry; empty when the entry or the value is
// missing, which only makes the Start-menu step skip its name-based removals.
std::wstring display_name_or_empty(const std::string& product) {
  try {
    return read_display_name(product);
  } catch (...) {
    return std::wstring();
  }
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
  guarded("install location fallback", [&] {
    record.install_location = program_files_folder() + default_brand + "\\";
  });
}

void read_and_log_command_line(const std::string& command_line, run_settings& settings) {
  if (read_command_line(command_line, settings)) {
    replay::log_info("%s", command_line_log_text(settings).c_str());
  }
}

void end_process_if_running(const std::string& name) {
  if (is_process_running(name)) close_process(name);
}

// Takes the product off the Dizavad's list and, when at most one product is left, removes the
// update service, the Dizavad and the brand's Program Files folder if it became empty. An
// unreadable list leaves the count unknown: then nothing shared is removed.
void unregister_and_remove_dizavad(const std::string& brand_name) {
  std::unique_ptr<toolkit_remover> dizavad;
  try {
    dizavad = std::make_unique<toolkit31x_remover>(L"Ravelins", L"Suite", L"Suite Service",
                                                   L"RavelinSuiteService.exe");
  } catch (...) {
    replay::log_exception("toolkit31x_remover()");
    return;
  }
  dizavad->unregister_product_from_toolkit_31x(L"CVPRO");
  replay::log_info("%s", "");
  const int products = dizavad->count_products_registered_in_toolkit_31x();
  if (products == toolkit_remover::unknown_product_count) {
    replay::log_info("Registered products unknown: update service and Dizavad 3.1.x are kept");
    return;
  }
  if (products > 1) return;
  remove_service("Corvane Update Service", "cvus.exe", true);
  dizavad->remove_toolkit_31x();
  guarded("remove_empty_folder()",
          [&] { remove_empty_folder(program_files_folder() + brand_name); });
}

void remove_application_data_folders(const std::string& product) {
  try {
    remove_folder(appdata_folder() + product);
    remove_folder(common_appdata_folder() + product);
  } catch (...) {
  }
}

void clean_installer_database(const std::wstring& upgrade_code) {
  installer_cleaner cleaner;
  if (is_wow64_process()) {
    clean_installer_database_wow64(cleaner, upgrade_code);
  } else {
    clean_installer_database_native(cleaner, upgrade_code);
  }
}

}  // namespace

int run_cleanup_pass(const std::string& command_line) {
  bind_reg_delete_key_ex();
  run_settings settings;
  const std::string display_name = low_bytes(display_name_or_empty("Corvane"));
  product_uninstall_record record("Corvane");
  open_log(log_base_name());
  replay::log_info("%s", version_log_text().c_str());

  search_product_info(record);
  fall_back_to_default_install_location(record, settings.brand_name);
  read_and_log_command_line(command_line, settings);
  end_process_if_running("RavelinLauncher.exe");
  end_process_if_running("cvagent.exe");
  replay::log_info("%s", "");
  unregister_and_remove_dizavad(settings.brand_name);
  replay::log_info("%s", "");
  clean_software_registry(L"Corvane");
  guarded("remove_guid_folders_with_client_files()", remove_guid_folders_with_client_files);
  remove_start_menu_shortcuts(display_name, settings.brand_name);
  remove_application_data_folders("Corvane");
  guarded("remove_folder()",
          [&] { remove_folder(program_files_folder() + settings.brand_name + "\\Corvane"); });
  if (!record.install_location.empty()) remove_empty_folder(record.install_location);
  guarded("rmove_virtual_store()", rmove_virtual_store);
  replay::log_info("%s", "");
  clean_installer_database(L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}");

  replay::log_shutdown();
  return 0;
}
