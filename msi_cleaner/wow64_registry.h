// Raw registry helpers of the WOW64 variant of the installer cleaner: keys are opened in the 64-bit
// view and named through path texts such as L"HKLM\\SOFTWARE\\Classes". Names and paths are
// read into, or copied through, buffers of 300 characters; what does not fit is passed over and
// never cut short, so that no other key is ever opened or deleted in its place. Keys are held as
// layered keys (layered_key.h), so that a report-only run sees the changes it has planned.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "msi_cleaner/layered_key.h"
#include "msi_cleaner/reg_delete_key_ex.h"

// KEY_READ | KEY_WOW64_64KEY.
constexpr REGSAM kRead64 = 0x20119;
// kRead64 | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, for keys changed or deleted below.
constexpr REGSAM kWrite64 = 0x2011F;
// Characters of the name and path buffers, the terminating zero included.
constexpr std::size_t kBufferChars = 300;

// Splits a store path at its first backslash: "HKCR", "HKLM" and "HKCU" name their hives, any
// other first part HKEY_USERS. A path without a backslash is the hive itself (empty rest).
void split_store_path(const std::wstring& path, HKEY& hive, std::wstring& rest);

// Opens `tail` below the key named by `store_path` with `access`. False when the key does not open
// or when the relative path does not fit the buffer.
bool open_below_store(const std::wstring& store_path, const std::wstring& tail, REGSAM access,
                      layered_key& key);

// Names of the direct subkeys of `key`, listed in full before anything is changed (subkeys(),
// layered_key.h): until the listing ends or fails; one planned removed is passed over.
std::vector<std::wstring> subkey_names_64(const layered_key& key);

// Deletes subkey `name` of `parent` with all its subkeys in the 64-bit view, depth first, always
// taking the first remaining subkey. A subkey that cannot be removed ends the deletion of its
// parent, which then stays. True when `name` is gone. One change of the layer per key.
bool delete_key_tree_64(const layered_key& parent, const std::wstring& name,
                        reg_delete_key_ex_function remove);
