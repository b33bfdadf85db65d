// The remover's view of the suite's shared framework, the Dizavad: an abstract interface with one
// implementation per framework version (toolkit31x_remover for 3.1.x).
//
// The framework keeps the list of the products that use it in product.cfg. Every operation reads
// that file afresh and absorbs its own failures: none of them throws to the caller.
#pragma once

#include <string>

class toolkit_remover {
 public:
  // Result of count_products_registered_in_toolkit_31x() when product.cfg exists (or its ".new"
  // file does) but cannot be read, decrypted or parsed. The framework may then still be in use, so
  // callers must neither remove it nor the update service, and its SharedDLLs counters stay as
  // they are. A missing list (neither file exists) counts as 0 products.
  static constexpr int unknown_product_count = -1;

  // vendor_folder: folder name below Program Files and the data folders ("Ravelins");
  // suite_folder: folder below the vendor folder that holds product.cfg ("Suite");
  // suite_service_name: the framework's Windows service ("Suite Service");
  // suite_service_exe: that service's program in the install folder ("RavelinSuiteService.exe").
  toolkit_remover(std::wstring vendor_folder, std::wstring suite_folder,
                  std::wstring suite_service_name, std::wstring suite_service_exe);
  virtual ~toolkit_remover();

  toolkit_remover(const toolkit_remover&) = delete;
  toolkit_remover& operator=(const toolkit_remover&) = delete;

  // Number of entries in product.cfg; 0 when the file is missing, unknown_product_count when it
  // exists but cannot be read.
  virtual int count_products_registered_in_toolkit_31x() = 0;
  // True when an entry carries exactly this code (case-sensitive); false also on read errors.
  virtual bool is_product_registered_in_toolkit_31x(std::wstring product_code) = 0;
  // "name@site" from the product's suite.cfg in the ANSI code page; empty when there is none.
  virtual std::string read_user_email_from_toolkit_31x(std::wstring product_code) = 0;
  // The product's folder name from its first entry; empty when there is none.
  virtual std::wstring get_product_name(std::wstring product_code) = 0;
  // Erases the first entry with this code and writes the list back once; writes nothing when the
  // code is absent.
  virtual void unregister_product_from_toolkit_31x(std::wstring product_code) = 0;
  // Removes the framework's code, data and installer components when no product uses it any
  // more (TOOLKIT, the framework's own entry, is no product; never when the count is unknown),
  // then repairs the SharedDLLs counters.
  virtual void remove_toolkit_31x() = 0;
  // Folders of a product, each ending in a backslash; a code without entry gives the vendor-level
  // folder followed by one more backslash.
  virtual std::wstring get_product_install_folder(std::wstring product_code) = 0;
  virtual std::wstring get_product_appdata_folder(std::wstring product_code) = 0;
  virtual std::wstring get_product_common_data_folder(std::wstring product_code) = 0;

  // The framework's install folder, ending in a backslash (empty until a version's class sets it).
  const std::wstring& install_dir() const { return m_install_dir; }

 protected:
  std::wstring m_vendor_folder;
  std::wstring m_suite_folder;
  std::wstring m_suite_service_name;
  std::wstring m_suite_service_exe;
  std::wstring m_install_dir;
};
