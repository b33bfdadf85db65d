#include "tests/seed/product_cfg.h"

#include <windows.h>

#include "config/config_storage.h"
#include "tests/seed/registry_edit.h"

namespace seed {

void write_product_cfg(const std::string& path, const std::vector<std::wstring>& codes) {
  config::products_impl products;
  for (const std::wstring& code : codes) {
    config::products_impl::product entry;
    entry.m_product_id = code;
    entry.m_product_name = code == L"CVPRO" ? L"Corvane" : code;
    entry.m_product_path = L"C:\\Program Files\\Ravelins\\" + entry.m_product_name;
    products.m_products.push_back(entry);
  }
  config::config_storage::save(wide(path), products);
}

std::string read_product_cfg(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return "absent";
  config::products_impl products;
  try {
    config::config_storage::load(wide(path), products);
  } catch (...) {
    return "unreadable";
  }
  std::string list;
  for (const auto& entry : products.m_products) {
    list += (list.empty() ? "" : ", ") + ansi(entry.m_product_id);
  }
  return list.empty() ? "none" : list;
}

}  // namespace seed
