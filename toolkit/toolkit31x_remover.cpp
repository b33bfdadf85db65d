// Dizavad 3.1.x: the registration list (product.cfg), the products' folders and the e-mail
// address in a product's suite.cfg.
#include "toolkit/toolkit31x_remover.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "cleanup/plain_name.h"
#include "cleanup/shell_folders.h"
#include "config/config_storage.h"
#include "replay/change/change_layer.h"
#include "replay/exception/exception.h"
#include "replay/log/log.h"
#include "replay/log/log_exception.h"
#include "replay/unicode/unicode.h"
#include "toolkit/byte_strings.h"
#include "toolkit/product_count.h"

namespace {

using product_list = std::vector<config::products_impl::product>;

// The first entry whose code equals `code` exactly (letter case counts).
product_list::iterator find_product(product_list& products, const std::wstring& code) {
  return std::find_if(products.begin(), products.end(),
                      [&code](const auto& entry) { return entry.m_product_id == code; });
}

config::products_impl load_products(const std::wstring& path) {
  config::products_impl products;
  config::config_storage::load(path, products);
  return products;
}

}  // namespace

toolkit31x_remover::toolkit31x_remover(std::wstring vendor_folder, std::wstring suite_folder,
                                       std::wstring suite_service_name,
                                       std::wstring suite_service_exe)
    : toolkit_remover(std::move(vendor_folder), std::move(suite_folder),
                      std::move(suite_service_name), std::move(suite_service_exe)) {
  m_install_dir = widen_bytes(program_files_folder()) + m_vendor_folder + L"\\";
}

toolkit31x_remover::~toolkit31x_remover() = default;

std::wstring toolkit31x_remover::get_product_cfg_path() {
  return widen_bytes(common_appdata_folder()) + m_vendor_folder + L"\\" + m_suite_folder +
         L"\\product.cfg";
}

// The codes of product.cfg's entries, in file order, with the count lines; false when the list
// exists but cannot be read. A list that does not exist has no entries.
bool toolkit31x_remover::read_registered_codes(std::vector<std::wstring>& codes) {
  replay::log_info("Count products registered in Dizavad 3.1.x");
  codes.clear();
  try {
    for (const auto& entry : load_products(get_product_cfg_path()).m_products) {
      codes.push_back(entry.m_product_id);
    }
  } catch (const config::file_not_found&) {
    codes.clear();
  } catch (...) {
    count_when_unreadable();
    replay::log_info("   number of products is unknown");
    return false;
  }
  replay::log_info("   number of products = %d", static_cast<int>(codes.size()));
  return true;
}

int toolkit31x_remover::count_products_registered_in_toolkit_31x() {
  std::vector<std::wstring> codes;
  const int count =
      read_registered_codes(codes) ? static_cast<int>(codes.size()) : unknown_product_count;
  replay::log_info("%s", "");
  return count;
}

// Reads the list once and asks it, without the logged registration checks of the counter repair.
int toolkit31x_remover::count_products_using_toolkit_31x() {
  std::vector<std::wstring> codes;
  int products = unknown_product_count;
  if (read_registered_codes(codes)) {
    products = count_products_using_toolkit(
        static_cast<int>(codes.size()), [&codes](const std::wstring& code) {
          return std::find(codes.begin(), codes.end(), code) != codes.end();
        });
    replay::log_info("   number of products that use Dizavad 3.1.x = %d", products);
  }
  replay::log_info("%s", "");
  return products;
}

// Called inside the handler of a failed load. Only a list that does not exist at all means that
// no product is registered; one that exists but cannot be read may still list products.
int toolkit31x_remover::count_when_unreadable() {
  replay::log_exception("count_products_registered_in_toolkit_31x()");
  replay::log_info(
      "ATTENTION: product.cfg exists but cannot be read, so the products that use "
      "Dizavad 3.1.x are not known");
  return unknown_product_count;
}

bool toolkit31x_remover::is_product_registered_in_toolkit_31x(std::wstring product_code) {
  replay::log_info(L"Check if %s is registered in Dizavad 3.1.x", product_code.c_str());
  try {
    config::products_impl products = load_products(get_product_cfg_path());
    if (find_product(products.m_products, product_code) == products.m_products.end()) return false;
    replay::log_info(L"%s found in product list", product_code.c_str());
    return true;
  } catch (...) {
    replay::log_exception("is_product_registered_in_toolkit_31x()");
    return false;
  }
}

void toolkit31x_remover::unregister_product_from_toolkit_31x(std::wstring product_code) {
  replay::log_info(L"Unregister %s from Dizavad 3.1.x", product_code.c_str());
  try {
    const std::wstring path = get_product_cfg_path();
    config::products_impl products = load_products(path);
    auto entry = find_product(products.m_products, product_code);
    if (entry == products.m_products.end()) {
      replay::log_info(L"PRODUCT %s WAS NOT REGISTERED in Dizavad 3.1.x", product_code.c_str());
      replay::log_info(L"");
      return;
    }
    products.m_products.erase(entry);
    replay::log_info(replay::would(L"'%s' unregistered", L"'%s' would be unregistered"),
                     product_code.c_str());
    config::config_storage::save(path, products, product_code + L" unregistered");
  } catch (...) {
    replay::log_exception("unregister_product_from_toolkit_31x()");
  }
}

std::wstring toolkit31x_remover::get_product_name(std::wstring product_code) {
  try {
    config::products_impl products = load_products(get_product_cfg_path());
    auto entry = find_product(products.m_products, product_code);
    return entry == products.m_products.end() ? std::wstring() : entry->m_product_name;
  } catch (...) {
    replay::log_exception("can't retrieve product name, ");
    return std::wstring();
  }
}

// The product's folder name from product.cfg. The file may have been written by anyone who could
// write the folder it lies in: a name that is not one plain folder name ("..", "a\b") would put
// the product's folder somewhere else, so it throws instead. An empty name (a code without entry)
// stays empty.
std::wstring toolkit31x_remover::product_folder_name(std::wstring product_code) {
  const std::wstring name = get_product_name(std::move(product_code));
  if (name.empty() || is_plain_name(name)) return name;
  replay::log_info(L"ATTENTION: product name '%s' in product.cfg is not a plain folder name",
                   printable(name).c_str());
  throw replay::exception(std::string("product name is not a plain folder name"));
}

std::wstring toolkit31x_remover::get_product_install_folder(std::wstring product_code) {
  return m_install_dir + product_folder_name(std::move(product_code)) + L"\\";
}

std::wstring toolkit31x_remover::get_product_appdata_folder(std::wstring product_code) {
  return widen_bytes(appdata_folder()) + m_vendor_folder + L"\\" +
         product_folder_name(std::move(product_code)) + L"\\";
}

std::wstring toolkit31x_remover::get_product_common_data_folder(std::wstring product_code) {
  return widen_bytes(common_appdata_folder()) + m_vendor_folder + L"\\" +
         product_folder_name(std::move(product_code)) + L"\\";
}

std::string toolkit31x_remover::read_user_email_from_toolkit_31x(std::wstring product_code) {
  replay::log_info("Try to read user e-mail from Dizavad 3.1.x");
  try {
    config::suite_impl suite;
    config::config_storage::load(
        get_product_common_data_folder(std::move(product_code)) + L"suite.cfg", suite);
    const std::wstring address = suite.m_user_name + L"@" + suite.m_user_site;
    if (address.size() > 1) {
      // Strict: an address with characters the ANSI code page lacks is no address at all.
      const std::string narrow = replay::to_narrow(address, CP_ACP, true);
      replay::log_info(L"Email set to %S from suite config of ToolKit version 3.1.x",
                       narrow.c_str());
      return narrow;
    }
  } catch (const std::exception& error) {
    replay::log_error("exception in read_user_email_from_toolkit_31x(), %s", error.what());
  } catch (...) {
    replay::log_exception(
        "some exception occured in read_user_email_from_toolkit_31x, no email "
        "retrieved");
  }
  replay::log_info("%s", "");
  return std::string();
}
