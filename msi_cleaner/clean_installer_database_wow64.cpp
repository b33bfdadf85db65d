// The cleaning pass in the 64-bit registry view, for a 32-bit process under WOW64. Keys are held
// as path texts and changed with raw registry calls, each deletion one change of the change
// layer (layered_key.h); only the key-file step goes through the registry access layer (and so
// through the process's own view).
#include <vector>

#include "msi_cleaner/clean_installer_database.h"
#include "msi_cleaner/installer_leftovers.h"
#include "msi_cleaner/journal_steps.h"
#include "msi_cleaner/key_path.h"
#include "msi_cleaner/packed_guid.h"
#include "msi_cleaner/pass_log.h"
#include "msi_cleaner/reg_delete_key_ex.h"
#include "msi_cleaner/wow64_registry.h"
#include "replay/change/change_layer.h"
#include "replay/mutex/hold_point.h"

using replay::registry2::name_set;
using replay::registry2::value_entry;
using replay::registry2::value_range;

namespace {

// Value names of `key` that are packed GUIDs, until the listing ends or fails. A value planned
// deleted is passed over.
void add_product_codes(const layered_key& key, name_set& product_codes) {
  for (const value_entry& value : values(key)) {
    if (!pack_guid(value.name).empty()) product_codes.insert(value.name);
  }
}

void remove_upgrade_codes(const path_store& root, installer_cleaner& cleaner,
                          reg_delete_key_ex_function remove) {
  layered_key upgrade_codes;
  if (!open_below_store(root.path, L"Installer\\UpgradeCodes", kWrite64, upgrade_codes)) return;
  for (const std::wstring& code : cleaner.upgrade_codes) {
    layered_key code_key;
    if (open_layered(upgrade_codes, code, kWrite64, code_key) != ERROR_SUCCESS) continue;
    add_product_codes(code_key, cleaner.product_codes);
    code_key.handle.reset();
    LONG result = delete_layered_key(upgrade_codes, code, [&] {
      return remove(upgrade_codes.get(), code.c_str(), KEY_WOW64_64KEY, 0);
    });
    if (result != ERROR_SUCCESS) replay::log_info("Error %i", static_cast<int>(result));
    replay::log_info(L"%i  %s", root.number, unpack_guid(code).c_str());
    replay::hold_point("installer.upgrade code removed");
  }
}

void remove_products(const path_store& store, const installer_cleaner& cleaner,
                     reg_delete_key_ex_function remove) {
  layered_key products;
  if (!open_below_store(store.path, L"Products", kWrite64, products)) return;
  for (const std::wstring& product : cleaner.product_codes) {
    layered_key product_key;
    if (open_layered(products, product, kWrite64, product_key) != ERROR_SUCCESS) continue;
    product_key.handle.reset();
    delete_key_tree_64(products, product, remove);
    replay::log_info(L"%i  %s", store.number, unpack_guid(product).c_str());
    replay::hold_point("installer.product removed");
  }
}

// What the values of one component hold for the products being removed.
struct component_values {
  int total = 0;
  int matched = 0;
  bool complete = true;
  std::vector<std::wstring> to_delete;
  name_set key_files;
};

// Reads every value of the component, names and data (of up to kBufferChars characters each).
// A value whose name or data does not fit counts toward the total and is otherwise left alone,
// so that no shortened name or path is ever acted on. A value planned deleted does not count.
component_values read_component_values(const layered_key& component,
                                       const name_set& product_codes) {
  component_values found;
  value_range listing = values(component, kBufferChars * sizeof(wchar_t), kBufferChars - 1);
  for (const value_entry& value : listing) {
    ++found.total;
    if (product_codes.count(value.name) == 0) continue;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
      const std::wstring text = value.text();
      if (!text.empty()) found.key_files.insert(key_path_from_data(text));
    }
    found.to_delete.push_back(value.name);
    ++found.matched;
  }
  found.total += static_cast<int>(listing.skipped());
  found.complete = listing.error() == ERROR_SUCCESS;
  return found;
}

void clean_component(const layered_key& components, const std::wstring& component, int store_number,
                     installer_cleaner& cleaner, reg_delete_key_ex_function remove) {
  layered_key component_key;
  if (open_layered(components, component, kWrite64, component_key) != ERROR_SUCCESS) return;
  component_values values = read_component_values(component_key, cleaner.product_codes);
  // A component that only the products use goes whole, values and all: deleting its values
  // first would leave, to a run cut off in between, an empty key that names no product.
  if (!values.complete || values.matched == 0 || values.matched != values.total) {
    for (const std::wstring& value : values.to_delete) {
      delete_layered_value(component_key, value);
    }
    return;
  }
  cleaner.key_files.insert(values.key_files.begin(), values.key_files.end());
  replay::log_info(L"%i  %s", store_number, unpack_guid(component).c_str());
  component_key.handle.reset();
  delete_layered_key(components, component, [&] {
    return remove(components.get(), component.c_str(), KEY_WOW64_64KEY, 0);
  });
  replay::hold_point("installer.component cleaned");
}

void clean_components(const path_store& store, installer_cleaner& cleaner,
                      reg_delete_key_ex_function remove) {
  layered_key components;
  if (!open_below_store(store.path, L"Components", kWrite64, components)) return;
  for (const std::wstring& component : subkey_names_64(components)) {
    // A name that is no packed GUID is no component registration.
    if (pack_guid(component).empty()) continue;
    clean_component(components, component, store.number, cleaner, remove);
  }
}

// What the pass will remove, found before anything is deleted: the product codes listed under
// the upgrade codes, and the key files of the components that only those products use.
void find_product_codes(const path_store& root, installer_cleaner& cleaner) {
  layered_key upgrade_codes;
  if (!open_below_store(root.path, L"Installer\\UpgradeCodes", kRead64, upgrade_codes)) return;
  for (const std::wstring& code : cleaner.upgrade_codes) {
    layered_key code_key;
    if (open_layered(upgrade_codes, code, kRead64, code_key) == ERROR_SUCCESS) {
      add_product_codes(code_key, cleaner.product_codes);
    }
  }
}

void find_key_files(const path_store& store, const name_set& product_codes, name_set& key_files) {
  layered_key components;
  if (!open_below_store(store.path, L"Components", kRead64, components)) return;
  for (const std::wstring& component : subkey_names_64(components)) {
    if (pack_guid(component).empty()) continue;
    layered_key component_key;
    if (open_layered(components, component, kRead64, component_key) != ERROR_SUCCESS) continue;
    const component_values values = read_component_values(component_key, product_codes);
    if (!values.complete || values.matched == 0 || values.matched != values.total) continue;
    key_files.insert(values.key_files.begin(), values.key_files.end());
  }
}

void find_what_to_remove(installer_cleaner& cleaner, reg_delete_key_ex_function remove) {
  cleaner.journal = read_pass_journal(cleaner.journal_key);
  cleaner.product_codes.insert(cleaner.journal.product_codes.begin(),
                               cleaner.journal.product_codes.end());
  for (const path_store& root : cleaner.root_paths) find_product_codes(root, cleaner);
  name_set found_key_files;
  for (const path_store& store : cleaner.store_paths) {
    find_key_files(store, cleaner.product_codes, found_key_files);
  }
  find_installer_leftovers(wow64_leftover_stores(cleaner.store_paths, remove),
                           cleaner.product_codes, cleaner.journal);
  begin_journal(cleaner, found_key_files);
}

void clean_stores(installer_cleaner& cleaner, reg_delete_key_ex_function remove) {
  log_section("Locating Windows Installer Root Stores", kRule50);
  locate_root_stores(cleaner.counter, cleaner.root_paths);
  list_installer_stores(cleaner.counter, cleaner.root_paths, cleaner.store_paths);
  find_what_to_remove(cleaner, remove);

  log_removed_section("Upgrade Codes", kRule50);
  for (const path_store& root : cleaner.root_paths) remove_upgrade_codes(root, cleaner, remove);

  log_removed_section("Product Codes", kRule49);
  for (const path_store& store : cleaner.store_paths) remove_products(store, cleaner, remove);

  log_removed_section("Component Codes", kRule49);
  for (const path_store& store : cleaner.store_paths) clean_components(store, cleaner, remove);
  remove_installer_leftovers(wow64_leftover_stores(cleaner.store_paths, remove),
                             cleaner.product_codes, cleaner.journal);

  log_removed_section("Key Files", kRule49);
  finish_journal(cleaner);
  log_empty_line();
}

}  // namespace

void clean_installer_database_wow64(installer_cleaner& cleaner, const std::wstring& upgrade_code) {
  try {
    replay::log_info("**** Cleaning Installation Database ****");
    reg_delete_key_ex_function remove = bound_reg_delete_key_ex();
    if (remove == nullptr) {
      replay::log_info("Error in GetProcAddress of function for work with registry");
      replay::log_info("%s", kRule50);
      log_empty_line();
    } else {
      const std::wstring packed = pack_guid(upgrade_code);
      if (!packed.empty()) cleaner.upgrade_codes.insert(packed);
      clean_stores(cleaner, remove);
    }
  } catch (...) {
    // The pass never throws; a failure of the log itself leaves nothing to report to.
  }
  release_reg_delete_key_ex();
}
