#include "msi_cleaner/layered_key.h"

#include "replay/change/change_layer.h"
#include "replay/registry2/key_name.h"

namespace {

constexpr REGSAM kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

bool planning() {
  return replay::changes().planning();
}

// The physical name of an open key; empty when the system cannot name it (nothing is then
// found planned below it).
std::wstring name_of(HKEY key) {
  try {
    return replay::registry2::key_name(key);
  } catch (...) {
    return std::wstring();
  }
}

// The physical name of `subkey` below `parent` for a change: the parent's known name while
// planning, else asked of the system; the subkey's own name when the system cannot name it.
std::wstring change_place(const layered_key& parent, const std::wstring& subkey) {
  if (planning()) return subkey.empty() ? parent.name : parent.name + L"\\" + subkey;
  try {
    return replay::registry2::key_name(parent.get(), subkey);
  } catch (...) {
    return subkey;
  }
}

LONG open_raw(HKEY parent, const std::wstring& subkey, REGSAM access, layered_key& key) {
  key.access = access;
  key.name.clear();
  const LONG result = RegOpenKeyExW(parent, subkey.c_str(), 0, access, key.handle.receive());
  if (result != ERROR_SUCCESS) key.handle.release();  // the slot holds no handle after a failure
  return result;
}

// While planning: a key the run has planned to remove is gone.
LONG unless_removed(layered_key& key) {
  if (!replay::changes().removed_key(key.name)) return ERROR_SUCCESS;
  key.handle.reset();
  return ERROR_FILE_NOT_FOUND;
}

// What deleting `subkey` alone would answer on the planned machine: gone, or still holding a
// subkey (the system refuses that with ERROR_ACCESS_DENIED).
LONG planned_deletion_refused(const layered_key& parent, const std::wstring& subkey) {
  layered_key target;
  const LONG opened =
      open_layered(parent, subkey, KEY_ENUMERATE_SUB_KEYS | (parent.access & kViewBits), target);
  if (opened != ERROR_SUCCESS) return opened;
  std::wstring child;
  return first_subkey(target, child) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

}  // namespace

LONG open_layered(HKEY parent, const std::wstring& subkey, REGSAM access, layered_key& key) {
  const LONG result = open_raw(parent, subkey, access, key);
  return result == ERROR_SUCCESS ? check_layered(key) : result;
}

LONG check_layered(layered_key& key) {
  if (!planning()) return ERROR_SUCCESS;
  key.name = name_of(key.get());
  return unless_removed(key);
}

LONG open_layered(const layered_key& parent, const std::wstring& subkey, REGSAM access,
                  layered_key& key) {
  const LONG result = open_raw(parent.get(), subkey, access, key);
  if (result != ERROR_SUCCESS || !planning()) return result;
  key.name = subkey.empty() ? parent.name : parent.name + L"\\" + subkey;
  return unless_removed(key);
}

replay::registry2::subkey_range subkeys(const layered_key& key) {
  return replay::registry2::subkey_range(key.get(), key.name);
}

replay::registry2::value_range values(const layered_key& key, DWORD data_bytes, DWORD max_chars) {
  return replay::registry2::value_range(key.get(), key.name, data_bytes, max_chars);
}

bool first_subkey(const layered_key& key, std::wstring& name) {
  replay::registry2::subkey_range listing = subkeys(key);
  const auto first = listing.begin();
  if (first == listing.end()) return false;
  name = *first;
  return true;
}

void announce_layered_tree(const layered_key& parent, const std::wstring& subkey) {
  replay::change c;
  c.kind = replay::change_kind::delete_key;
  c.where = change_place(parent, subkey);
  c.view = replay::registry_view_of(parent.access);
  replay::changes().tree_ahead(c);
}

LONG delete_layered_key(const layered_key& parent, const std::wstring& subkey,
                        const std::function<LONG()>& remove) {
  if (planning()) {
    const LONG refused = planned_deletion_refused(parent, subkey);
    if (refused != ERROR_SUCCESS) return refused;
  }
  replay::change c;
  c.kind = replay::change_kind::delete_key;
  c.where = change_place(parent, subkey);
  c.view = replay::registry_view_of(parent.access);
  return static_cast<LONG>(replay::changes().make(c, [&] { return static_cast<DWORD>(remove()); }));
}

LONG delete_layered_value(const layered_key& key, const std::wstring& name) {
  replay::change c;
  c.kind = replay::change_kind::delete_value;
  c.where = change_place(key, std::wstring());
  c.view = replay::registry_view_of(key.access);
  c.value = name;
  const HKEY handle = key.get();
  return static_cast<LONG>(replay::changes().make(
      c, [&] { return static_cast<DWORD>(RegDeleteValueW(handle, name.c_str())); }));
}
