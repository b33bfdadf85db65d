// Raw registry keys of the installer passes, seen through the change layer (replay/change).
//
// In a report-only run a key the run has planned to remove does not open and is not listed, a
// value planned deleted is not listed, and a deletion the machine would refuse (a key that still
// has subkeys, a key that is gone) is answered with the error the system would give, without
// planning it. Every deletion is one change of the layer, where = the physical key name.
//
// A real run pays nothing for this: the planned state is asked only while changes are planned,
// and a key is named (NtQueryKey) only when a change is made. While planning, a key is named
// once when it is opened: from its parent's name when opened below a layered key, else with
// one NtQueryKey.
//
//   layered_key components;
//   if (open_layered(HKEY_LOCAL_MACHINE, path, kWrite64, components) != ERROR_SUCCESS) return;
//   for (const std::wstring& name : subkeys(components)) ...   // planned removals left out
//   delete_layered_key(components, name, [&] { return remove(components.get(), ...); });
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "replay/registry2/enumeration.h"
#include "replay/unique_handle.h"

struct layered_key {
  replay::unique_hkey handle;
  REGSAM access = 0;  // as opened; its view bits name the registry view
  std::wstring name;  // the physical name, known only while changes are planned

  HKEY get() const { return handle.get(); }
};

// RegOpenKeyExW(parent, subkey, 0, access). While planning, a key planned removed answers
// ERROR_FILE_NOT_FOUND.
LONG open_layered(HKEY parent, const std::wstring& subkey, REGSAM access, layered_key& key);
LONG open_layered(const layered_key& parent, const std::wstring& subkey, REGSAM access,
                  layered_key& key);

// For a key opened by other means (`handle` and `access` set): while planning, names it (one
// NtQueryKey) and, when it is planned removed, closes it and answers ERROR_FILE_NOT_FOUND.
LONG check_layered(layered_key& key);

// Its subkeys / values as the registry layer lists them (replay/registry2/enumeration.h): a
// name that does not fit is skipped, never cut; while planning, what is planned away is not
// listed. `data_bytes` and `max_chars` as there.
replay::registry2::subkey_range subkeys(const layered_key& key);
replay::registry2::value_range values(const layered_key& key, DWORD data_bytes = 0,
                                      DWORD max_chars = replay::registry2::kMaxValueNameChars);

// The first subkey of `key` that is not planned removed; false when there is none or the
// listing fails.
bool first_subkey(const layered_key& key, std::wstring& name);

// Tells the change layer that the tree of `subkey` is about to go, key by key, children first:
// a backup then saves the tree in one piece (replay::change_layer::tree_ahead).
void announce_layered_tree(const layered_key& parent, const std::wstring& subkey);

// Deletes `subkey` of `parent`, the key alone, as one delete_key change; `remove` makes the
// deletion (through whatever handle and function the caller uses) and returns its code.
LONG delete_layered_key(const layered_key& parent, const std::wstring& subkey,
                        const std::function<LONG()>& remove);

// Deletes value `name` of `key` (RegDeleteValueW) as one delete_value change.
LONG delete_layered_value(const layered_key& key, const std::wstring& name);
