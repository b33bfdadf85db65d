// The cleaning pass in the process's own registry view, through the registry access layer.
#include "msi_cleaner/clean_installer_database.h"
#include "msi_cleaner/installer_leftovers.h"
#include "msi_cleaner/journal_steps.h"
#include "msi_cleaner/key_path.h"
#include "msi_cleaner/packed_guid.h"
#include "msi_cleaner/pass_log.h"
#include "replay/change/change_layer.h"
#include "replay/mutex/hold_point.h"

using replay::registry2::key;
using replay::registry2::name_set;

namespace {

// Value names that are packed GUIDs; anything else names no product.
void add_product_codes(const name_set& names, name_set& product_codes) {
  for (const std::wstring& name : names) {
    if (!pack_guid(name).empty()) product_codes.insert(name);
  }
}

void remove_upgrade_code(key& upgrade_codes, const std::wstring& code, int root_number,
                         installer_cleaner& cleaner) {
  {
    key code_key = upgrade_codes.open(code);
    add_product_codes(code_key.value_names(), cleaner.product_codes);
  }
  upgrade_codes.delete_key(code, true);
  replay::log_info("%i  %ls", root_number, unpack_guid(code).c_str());
  replay::hold_point("installer.upgrade code removed");
}

void remove_upgrade_codes(const key_store& root, installer_cleaner& cleaner) {
  key upgrade_codes = root.key.open(L"Installer\\UpgradeCodes");
  for (const std::wstring& code : cleaner.upgrade_codes) {
    try {
      remove_upgrade_code(upgrade_codes, code, root.number, cleaner);
    } catch (const replay::exception&) {
      // An absent code, or one that cannot be listed or deleted, is passed over.
    }
  }
}

void remove_products(const key_store& store, const installer_cleaner& cleaner) {
  key products = store.key.open(L"Products");
  for (const std::wstring& product : cleaner.product_codes) {
    try {
      products.delete_key(product, true);
      replay::log_info("%i  %ls", store.number, unpack_guid(product).c_str());
      replay::hold_point("installer.product removed");
    } catch (const replay::exception&) {
      // Not registered in this store.
    }
  }
}

// Deletes the component's values of the products; removes the component when no other product
// uses it. Its key files count in either case.
// The component key as the step opens it: for writing, as open-or-create; in a report-only run
// only opened, so that nothing is created and a key planned removed does not open.
key open_component(const key& components, const std::wstring& component) {
  if (replay::changes().planning()) return components.open(component);
  return components.open(component, true);
}

void clean_component(key& components, const std::wstring& component, int store_number,
                     installer_cleaner& cleaner) {
  key component_key = open_component(components, component);
  const name_set values = component_key.value_names();
  name_set matched;
  name_set key_files;
  for (const std::wstring& value : values) {
    if (cleaner.product_codes.count(value) == 0) continue;
    std::wstring data = component_key.get_string(value);
    if (!data.empty()) key_files.insert(key_path_from_data(data));
    matched.insert(value);
  }
  if (matched.empty()) return;
  cleaner.key_files.insert(key_files.begin(), key_files.end());
  // A component that only the products use goes whole, values and all: deleting its values
  // first would leave, to a run cut off in between, an empty key that names no product.
  if (matched.size() == values.size()) {
    replay::log_info("%i  %ls", store_number, unpack_guid(component).c_str());
    components.delete_key(component, true);
  } else {
    for (const std::wstring& value : matched) component_key.delete_value(value);
  }
  replay::hold_point("installer.component cleaned");
}

void clean_components(const key_store& store, installer_cleaner& cleaner) {
  key components = store.key.open(L"Components");
  for (const std::wstring& component : components.subkey_names()) {
    // A name that is no packed GUID is no component registration.
    if (pack_guid(component).empty()) continue;
    clean_component(components, component, store.number, cleaner);
  }
}

// What the pass will remove, found before anything is deleted: the product codes listed under
// the upgrade codes, and the key files of the components' values of those products.
void find_product_codes(const key_store& root, installer_cleaner& cleaner) {
  const key upgrade_codes = root.key.open(L"Installer\\UpgradeCodes");
  for (const std::wstring& code : cleaner.upgrade_codes) {
    try {
      add_product_codes(upgrade_codes.open(code).value_names(), cleaner.product_codes);
    } catch (const replay::exception&) {
      // Not in this root store.
    }
  }
}

void find_key_files(const key_store& store, const name_set& product_codes, name_set& key_files) {
  const key components = store.key.open(L"Components");
  for (const std::wstring& component : components.subkey_names()) {
    if (pack_guid(component).empty()) continue;
    const key component_key = components.open(component);
    for (const std::wstring& value : component_key.value_names()) {
      if (product_codes.count(value) == 0) continue;
      const std::wstring data = component_key.get_string(value);
      if (!data.empty()) key_files.insert(key_path_from_data(data));
    }
  }
}

// Runs one step of the pass for one store; a registry failure ends that step for the store.
template <typename Step>
void for_each_store(const key_stores& stores, Step step) {
  for (const key_store& store : stores) {
    try {
      step(store);
    } catch (const replay::exception&) {
      // Ends this step for this store; the pass goes on.
    }
  }
}

void locate_stores(installer_cleaner& cleaner) {
  try {
    locate_root_stores(cleaner.counter, cleaner.root_keys);
    list_installer_stores(cleaner.counter, cleaner.root_keys, cleaner.store_keys);
  } catch (const std::exception&) {
    // The stores found so far are cleaned.
  }
}

}  // namespace

void clean_installer_database_native(installer_cleaner& cleaner, const std::wstring& upgrade_code) {
  try {
    replay::log_info("**** Cleaning Installation Database ****");
    const std::wstring packed = pack_guid(upgrade_code);
    if (!packed.empty()) cleaner.upgrade_codes.insert(packed);

    log_section("Locating Windows Installer Root Stores", kRule50);
    locate_stores(cleaner);

    cleaner.journal = read_pass_journal(cleaner.journal_key);
    cleaner.product_codes.insert(cleaner.journal.product_codes.begin(),
                                 cleaner.journal.product_codes.end());
    for_each_store(cleaner.root_keys, [&](const key_store& r) { find_product_codes(r, cleaner); });
    name_set found_key_files;
    for_each_store(cleaner.store_keys, [&](const key_store& s) {
      find_key_files(s, cleaner.product_codes, found_key_files);
    });
    find_installer_leftovers(native_leftover_stores(cleaner.store_keys), cleaner.product_codes,
                             cleaner.journal);
    begin_journal(cleaner, found_key_files);

    log_removed_section("Upgrade Codes", kRule50);
    for_each_store(cleaner.root_keys,
                   [&](const key_store& r) { remove_upgrade_codes(r, cleaner); });
    cleaner.root_keys.clear();

    log_removed_section("Product Codes", kRule49);
    for_each_store(cleaner.store_keys, [&](const key_store& s) { remove_products(s, cleaner); });

    log_removed_section("Component Codes", kRule49);
    for_each_store(cleaner.store_keys, [&](const key_store& s) { clean_components(s, cleaner); });
    remove_installer_leftovers(native_leftover_stores(cleaner.store_keys), cleaner.product_codes,
                               cleaner.journal);
    cleaner.store_keys.clear();

    log_removed_section("Key Files", kRule49);
    finish_journal(cleaner);
    log_empty_line();
  } catch (...) {
    // The pass never throws; a failure of the log itself leaves nothing to report to.
  }
}
