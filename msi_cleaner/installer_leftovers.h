// What Windows Installer keeps for a product beside its registration, removed with it by the
// cleaning pass: the feature registrations (Features\<packed product code> below each installer
// store), the patches applied only to the products (each store's Patches\<packed patch code>),
// the packages and patches the installer cached in %WINDIR%\Installer, and the product's
// published icon folder %WINDIR%\Installer\{product code} with the Installer\Folders value that
// names it.
//
// Nothing is found by a walk of its own: the stores are the ones the pass listed, and every key
// is looked up for the product codes the pass found. A file in the Windows Installer folder is
// removed only when a registration of the products named it, it lies directly in that folder, is
// a plain file with one name (no link), carries the extension of its kind and no registration of
// any other product or patch names it. A patch that another product lists stays, with its file.
//
// The names of the cached files are read before the registrations that hold them are deleted
// and kept in the pass's journal (pass_journal.h), so that a run cut off after that still
// removes the files. Every removal is a change of the change layer (registry keys and values
// through layered_key.h, files and folders through cleanup/tree_removal.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "msi_cleaner/installer_stores.h"
#include "msi_cleaner/layered_key.h"
#include "msi_cleaner/pass_journal.h"
#include "msi_cleaner/reg_delete_key_ex.h"
#include "replay/registry2/key.h"

// One installer store as the pass holds it: its number, and how to open a key below it.
struct leftover_store {
  int number = 0;
  std::function<bool(const std::wstring& tail, REGSAM access, layered_key& key)> open;
};

// The stores and the registry view of one variant of the pass.
struct leftover_stores {
  std::vector<leftover_store> stores;
  REGSAM view = 0;                              // KEY_WOW64_64KEY in the WOW64 variant, else 0
  reg_delete_key_ex_function remove = nullptr;  // deletes one key (RegDeleteKeyExW's form)
};

// The stores of the native variant (open keys, the process's own view); valid while they stay open.
leftover_stores native_leftover_stores(const key_stores& stores);
// The stores of the WOW64 variant (path texts, the 64-bit view), deleting with `remove`.
leftover_stores wow64_leftover_stores(const path_stores& stores, reg_delete_key_ex_function remove);

// Before anything is deleted: adds to `journal` the codes of the patches the products list and
// the full paths their registrations name as cached package (.msi) or cached patch (.msp).
void find_installer_leftovers(const leftover_stores& stores,
                              const replay::registry2::name_set& product_codes,
                              pass_journal& journal);

// After the products' registrations are gone, as four sections of the pass's log: feature
// registrations ("%i  %ls", store and product code), patch registrations ("%i  %ls", store and
// patch code), cached files ("  %ls") and icon folders with their Folders values ("  %ls").
// Never throws.
void remove_installer_leftovers(const leftover_stores& stores,
                                const replay::registry2::name_set& product_codes,
                                const pass_journal& journal);

// The name of the cached file `path` directly in `installer_folder`: "" unless `path` is that
// folder, a backslash and one plain file name ending in ".msi" or ".msp" (any case).
std::wstring cached_file_name(const std::wstring& path, const std::wstring& installer_folder);
