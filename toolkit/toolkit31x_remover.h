// The remover for Dizavad 3.1.x: product.cfg lies in the common application-data folder under
// <vendor>\<suite>\, the framework itself in Program Files under <vendor>\.
#pragma once

#include <string>
#include <vector>

#include "toolkit/toolkit_remover.h"

class left_processes;

class toolkit31x_remover : public toolkit_remover {
 public:
  // Computes the install folder from program_files_folder(); throws replay::exception when the
  // shell cannot resolve that folder.
  toolkit31x_remover(std::wstring vendor_folder, std::wstring suite_folder,
                     std::wstring suite_service_name, std::wstring suite_service_exe);
  ~toolkit31x_remover() override;

  int count_products_registered_in_toolkit_31x() override;
  bool is_product_registered_in_toolkit_31x(std::wstring product_code) override;
  std::string read_user_email_from_toolkit_31x(std::wstring product_code) override;
  std::wstring get_product_name(std::wstring product_code) override;
  void unregister_product_from_toolkit_31x(std::wstring product_code) override;
  void remove_toolkit_31x() override;
  // The folder getters throw replay::exception when a shell folder cannot be resolved, and when
  // the product's name in product.cfg is not one plain folder name (logged as "ATTENTION: ").
  std::wstring get_product_install_folder(std::wstring product_code) override;
  std::wstring get_product_appdata_folder(std::wstring product_code) override;
  std::wstring get_product_common_data_folder(std::wstring product_code) override;

  // The number of products that still use the framework, counted as the counter repair counts
  // them (TOOLKIT not counted, QLPRO and MZPRO together counted once): 0 means that the framework
  // may go. unknown_product_count when product.cfg exists but cannot be read. Logs the entry
  // count as count_products_registered_in_toolkit_31x() does, and this number after it.
  int count_products_using_toolkit_31x();

  // Sets the SharedDLLs counters of the framework's four programs to the number of products that
  // still use it (TOOLKIT itself not counted, QLPRO and MZPRO together counted once) and deletes
  // them when none is left. Leaves them alone when the count is unknown.
  virtual void fix_toolkit_counters_in_shareddlls();

  // Full path of the registration list: common application data\<vendor>\<suite>\product.cfg.
  // Throws replay::exception when the shell cannot resolve that folder.
  std::wstring get_product_cfg_path();

 private:
  int count_when_unreadable();
  bool read_registered_codes(std::vector<std::wstring>& codes);
  std::wstring product_folder_name(std::wstring product_code);
  void remove_code();
  void remove_data();
  void remove_registry_components();
  void stop_and_uninstall_suite_service(left_processes* left);
  void remove_install_dir_files(const std::string& install_dir);
};
