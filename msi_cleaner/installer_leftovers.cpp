#include "msi_cleaner/installer_leftovers.h"

#include <exception>

#include "cleanup/entry_walk.h"
#include "cleanup/plain_name.h"
#include "cleanup/tree_removal.h"
#include "msi_cleaner/packed_guid.h"
#include "msi_cleaner/pass_log.h"
#include "msi_cleaner/wow64_registry.h"
#include "replay/mutex/hold_point.h"
#include "replay/unicode/unicode.h"

using replay::registry2::name_set;

namespace {

constexpr DWORD kTextChars = 32767;
const wchar_t kLocalPackage[] = L"LocalPackage";
const wchar_t kFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";

REGSAM read_access(const leftover_stores& stores) {
  return KEY_READ | stores.view;
}
REGSAM write_access(const leftover_stores& stores) {
  return KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | stores.view;
}

// 32 hexadecimal digits, as the installer names its keys and values.
bool is_packed_guid(const std::wstring& text) {
  if (text.size() != 32) return false;
  for (wchar_t c : text) {
    if (!iswxdigit(c)) return false;
  }
  return true;
}

bool ends_with(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         replay::to_upper(text.substr(text.size() - tail.size())) == tail;
}

// The text of value `name` (REG_SZ or REG_EXPAND_SZ, unexpanded), up to its first zero.
bool read_text(const layered_key& key, const wchar_t* name, std::wstring& text) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size > kTextChars * sizeof(wchar_t)) {
    return false;
  }
  std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]),
                       &size) != ERROR_SUCCESS) {
    return false;
  }
  text = buffer.substr(0, buffer.find(L'\0'));
  return !text.empty();
}

std::vector<std::wstring> subkey_names(const layered_key& key) {
  std::vector<std::wstring> names;
  for (const std::wstring& name : subkeys(key)) names.push_back(name);
  return names;
}

// Value names of `key` that are not planned deleted.
std::vector<std::wstring> value_names(const layered_key& key) {
  std::vector<std::wstring> names;
  for (const replay::registry2::value_entry& value : values(key)) names.push_back(value.name);
  return names;
}

// Packed GUIDs among the subkey and value names of `key`: a patch list names each patch either
// way (the per-user and per-machine lists by value, the user-data lists by subkey).
void add_guid_names(const layered_key& key, name_set& codes) {
  for (const std::wstring& name : subkey_names(key)) {
    if (is_packed_guid(name)) codes.insert(replay::to_upper(name));
  }
  for (const std::wstring& name : value_names(key)) {
    if (is_packed_guid(name)) codes.insert(replay::to_upper(name));
  }
}

// Deletes subkey `name` of `parent` with everything below it, children first, one change each.
bool delete_tree(const layered_key& parent, const std::wstring& name,
                 const leftover_stores& stores) {
  layered_key key;
  if (open_layered(parent, name, write_access(stores), key) != ERROR_SUCCESS) return false;
  announce_layered_tree(parent, name);
  std::wstring child;
  std::wstring previous;
  while (first_subkey(key, child)) {
    if (child == previous || !delete_tree(key, child, stores)) return false;
    previous = child;
  }
  key.handle.reset();
  return delete_layered_key(parent, name, [&] {
           return stores.remove(parent.get(), name.c_str(), stores.view, 0);
         }) == ERROR_SUCCESS;
}

// Adds the text of `tail`'s LocalPackage value in `store` to `files` when it ends in `extension`.
void add_local_package(const leftover_store& store, const std::wstring& tail,
                       const leftover_stores& stores, const std::wstring& extension,
                       name_set& files) {
  layered_key key;
  std::wstring path;
  if (!store.open(tail, read_access(stores), key) || !read_text(key, kLocalPackage, path)) return;
  if (ends_with(path, extension)) files.insert(path);
}

std::wstring windows_folder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(buffer, length);
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// --- features ---

void remove_features(const leftover_stores& stores, const name_set& product_codes) {
  log_removed_section("Feature Codes", kRule49);
  for (const leftover_store& store : stores.stores) {
    layered_key features;
    if (!store.open(L"Features", write_access(stores), features)) continue;
    for (const std::wstring& product : product_codes) {
      layered_key feature;
      if (open_layered(features, product, read_access(stores), feature) != ERROR_SUCCESS) {
        continue;
      }
      feature.handle.reset();
      if (!delete_tree(features, product, stores)) continue;
      replay::log_info("%i  %ls", store.number, unpack_guid(product).c_str());
      replay::hold_point("installer.feature removed");
    }
  }
}

// --- patches ---

// The patches that the products other than `product_codes` list, in every store.
name_set patches_of_others(const leftover_stores& stores, const name_set& product_codes) {
  name_set patches;
  for (const leftover_store& store : stores.stores) {
    layered_key products;
    if (!store.open(L"Products", read_access(stores), products)) continue;
    for (const std::wstring& product : subkey_names(products)) {
      if (product_codes.count(replay::to_upper(product)) != 0) continue;
      layered_key list;
      if (open_layered(products, product + L"\\Patches", read_access(stores), list) ==
          ERROR_SUCCESS) {
        add_guid_names(list, patches);
      }
    }
  }
  return patches;
}

void remove_patch(const leftover_stores& stores, const std::wstring& patch) {
  for (const leftover_store& store : stores.stores) {
    layered_key patches;
    if (!store.open(L"Patches", write_access(stores), patches)) continue;
    layered_key registration;
    if (open_layered(patches, patch, read_access(stores), registration) != ERROR_SUCCESS) continue;
    registration.handle.reset();
    if (!delete_tree(patches, patch, stores)) continue;
    replay::log_info("%i  %ls", store.number, unpack_guid(patch).c_str());
    replay::hold_point("installer.patch removed");
  }
}

void remove_patches(const leftover_stores& stores, const name_set& product_codes,
                    const name_set& patch_codes) {
  log_removed_section("Patch Codes", kRule49);
  if (patch_codes.empty()) return;
  const name_set shared = patches_of_others(stores, product_codes);
  for (const std::wstring& patch : patch_codes) {
    if (shared.count(patch) != 0) {
      replay::log_info("  %ls      is kept: another product lists it", unpack_guid(patch).c_str());
      continue;
    }
    remove_patch(stores, patch);
  }
}

// --- cached files ---

// Every LocalPackage, upper-cased, that a registration still there names: of the products other
// than `product_codes`, and of every patch left.
name_set files_named_by_others(const leftover_stores& stores, const name_set& product_codes) {
  name_set named;
  for (const leftover_store& store : stores.stores) {
    layered_key products;
    if (store.open(L"Products", read_access(stores), products)) {
      for (const std::wstring& product : subkey_names(products)) {
        if (product_codes.count(replay::to_upper(product)) != 0) continue;
        add_local_package(store, L"Products\\" + product + L"\\InstallProperties", stores, L"",
                          named);
      }
    }
    layered_key patches;
    if (store.open(L"Patches", read_access(stores), patches)) {
      for (const std::wstring& patch : subkey_names(patches)) {
        add_local_package(store, L"Patches\\" + patch, stores, L"", named);
      }
    }
  }
  name_set upper;
  for (const std::wstring& path : named) upper.insert(replay::to_upper(path));
  return upper;
}

// The path the system gives the open entry, without "\\?\"; empty when it cannot tell.
std::wstring final_path(HANDLE entry) {
  std::wstring buffer(kTextChars + 1, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(entry, &buffer[0], kTextChars,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length > kTextChars) return std::wstring();
  buffer.resize(length);
  const std::wstring prefix = L"\\\\?\\";
  if (buffer.compare(0, prefix.size(), prefix) == 0) buffer.erase(0, prefix.size());
  return buffer;
}

// Why the listed entry is not a plain file with one name at `path`; empty when it is one.
const char* not_plain_file(const entry_walk::located& at, const std::wstring& path) {
  if (entry_walk::is_link(at.entry)) return "it is a link";
  if ((at.entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "it is a folder";
  const replay::scoped_handle file =
      entry_walk::open_listed(at.parent, at.entry, nt_file::open_as::probe);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info)) return "it cannot be read";
  if (info.nNumberOfLinks != 1) return "it has more than one name";
  // A link Wine shows as its target is seen only in the path of the opened file.
  if (replay::to_upper(final_path(file.get())) != replay::to_upper(path)) return "it is a link";
  return "";
}

void remove_cached_file(const std::wstring& windows, const std::wstring& path,
                        const name_set& named) {
  const std::wstring name = cached_file_name(path, windows + L"\\Installer");
  const char* why = "it is not a package directly in the Windows Installer folder";
  if (!name.empty())
    why = named.count(replay::to_upper(path)) != 0 ? "another product names it" : "";
  const std::wstring place = windows + L"\\Installer\\" + name;
  if (*why == '\0') {
    const entry_walk::located at = entry_walk::locate_below(windows, place);
    if (!at.exists) return;
    why = not_plain_file(at, place);
    if (*why == '\0') {
      remove_listed(at.parent, at.entry);
      replay::log_info("  %ls", path.c_str());
      replay::hold_point("installer.cached file removed");
      return;
    }
  }
  replay::log_info("  %ls      is kept: %s", printable(path).c_str(), why);
}

void remove_cached_files(const leftover_stores& stores, const name_set& product_codes,
                         const name_set& cached_files) {
  log_removed_section("Cached Packages", kRule49);
  if (cached_files.empty()) return;
  const std::wstring windows = windows_folder();
  if (windows.empty()) return;
  const name_set named = files_named_by_others(stores, product_codes);
  for (const std::wstring& path : cached_files) {
    try {
      remove_cached_file(windows, path, named);
    } catch (const std::exception&) {
      replay::log_info("  %ls      could not be removed", printable(path).c_str());
    }
  }
}

// --- icon folders ---

// Removes %WINDIR%\Installer\{product code}; true when it is gone.
bool remove_icon_folder(const std::wstring& windows, const std::wstring& folder) {
  try {
    if (!entry_exists_below(windows, folder)) return true;
    remove_tree_below(windows, folder);
    replay::log_info("  %ls", folder.c_str());
    replay::hold_point("installer.icon folder removed");
    return true;
  } catch (const std::exception&) {
    replay::log_info("  %ls      could not be removed", folder.c_str());
    return false;
  }
}

// Deletes the values of Installer\Folders that name one of `folders` (upper case, with or
// without the trailing backslash the installer writes).
void remove_folder_values(const leftover_stores& stores, const name_set& folders) {
  layered_key key;
  if (open_layered(HKEY_LOCAL_MACHINE, kFolders, write_access(stores), key) != ERROR_SUCCESS) {
    return;
  }
  for (const std::wstring& name : value_names(key)) {
    std::wstring folder = replay::to_upper(name);
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    if (folders.count(folder) == 0) continue;
    if (delete_layered_value(key, name) != ERROR_SUCCESS) continue;
    replay::log_info("  %ls", name.c_str());
  }
}

void remove_icon_folders(const leftover_stores& stores, const name_set& product_codes) {
  log_removed_section("Icon Folders", kRule49);
  const std::wstring windows = windows_folder();
  if (windows.empty()) return;
  name_set removed;
  for (const std::wstring& product : product_codes) {
    const std::wstring folder = windows + L"\\Installer\\" + unpack_guid(product);
    if (remove_icon_folder(windows, folder)) removed.insert(replay::to_upper(folder));
  }
  if (!removed.empty()) remove_folder_values(stores, removed);
}

// Runs one section; a failure ends that section only.
template <typename Section>
void guarded(Section section) {
  try {
    section();
  } catch (const std::exception&) {
    // The pass goes on with the next section.
  }
}

LONG WINAPI delete_key_own_view(HKEY parent, const wchar_t* name, REGSAM, DWORD) {
  return RegDeleteKeyW(parent, name);
}

}  // namespace

leftover_stores native_leftover_stores(const key_stores& stores) {
  leftover_stores result;
  result.remove = delete_key_own_view;
  for (const key_store& store : stores) {
    const HKEY handle = store.key.handle();
    result.stores.push_back(
        {store.number, [handle](const std::wstring& tail, REGSAM access, layered_key& key) {
           return open_layered(handle, tail, access, key) == ERROR_SUCCESS;
         }});
  }
  return result;
}

leftover_stores wow64_leftover_stores(const path_stores& stores,
                                      reg_delete_key_ex_function remove) {
  leftover_stores result;
  result.view = KEY_WOW64_64KEY;
  result.remove = remove;
  for (const path_store& store : stores) {
    const std::wstring path = store.path;
    result.stores.push_back(
        {store.number, [path](const std::wstring& tail, REGSAM access, layered_key& key) {
           return open_below_store(path, tail, access, key);
         }});
  }
  return result;
}

std::wstring cached_file_name(const std::wstring& path, const std::wstring& installer_folder) {
  const std::wstring folder = installer_folder + L"\\";
  if (path.size() <= folder.size() ||
      replay::to_upper(path.substr(0, folder.size())) != replay::to_upper(folder)) {
    return std::wstring();
  }
  const std::wstring name = path.substr(folder.size());
  if (!is_plain_name(name) || !(ends_with(name, L".MSI") || ends_with(name, L".MSP"))) {
    return std::wstring();
  }
  return name;
}

void find_installer_leftovers(const leftover_stores& stores, const name_set& product_codes,
                              pass_journal& journal) {
  for (const leftover_store& store : stores.stores) {
    for (const std::wstring& product : product_codes) {
      add_local_package(store, L"Products\\" + product + L"\\InstallProperties", stores, L".MSI",
                        journal.cached_files);
      layered_key list;
      if (store.open(L"Products\\" + product + L"\\Patches", read_access(stores), list)) {
        add_guid_names(list, journal.patch_codes);
      }
    }
  }
  if (journal.patch_codes.empty()) return;
  for (const leftover_store& store : stores.stores) {
    for (const std::wstring& patch : journal.patch_codes) {
      add_local_package(store, L"Patches\\" + patch, stores, L".MSP", journal.cached_files);
    }
  }
}

void remove_installer_leftovers(const leftover_stores& stores, const name_set& product_codes,
                                const pass_journal& journal) {
  guarded([&] { remove_features(stores, product_codes); });
  guarded([&] { remove_patches(stores, product_codes, journal.patch_codes); });
  guarded([&] { remove_cached_files(stores, product_codes, journal.cached_files); });
  guarded([&] { remove_icon_folders(stores, product_codes); });
}
