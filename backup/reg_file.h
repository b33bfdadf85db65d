// Registry files as the system's reg.exe exports and imports them ("Windows Registry Editor
// Version 5.00", UTF-16LE with a byte-order mark): what a backup saves of keys and values, read
// back by the restore, and importable by hand with "reg import".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace replay {
namespace backup {

struct reg_value {
  std::wstring name;    // empty: the key's default value ("@")
  bool absent = false;  // "name"=- : the value did not exist
  DWORD type = REG_NONE;
  std::string data;  // the value's bytes as the registry holds them
};

struct reg_key {
  std::wstring name;  // as the file names it: "HKEY_LOCAL_MACHINE\SOFTWARE\..."
  std::vector<reg_value> values;
};

// "HKEY_LOCAL_MACHINE\X" for "HKLM\X" (HKCU, HKU, HKCR likewise); other names unchanged.
std::wstring long_key_name(const std::wstring& key);

// The text of a registry file holding `keys` in order, UTF-16LE with its byte-order mark.
std::string reg_file_bytes(const std::vector<reg_key>& keys);

// The keys of a registry file's bytes (UTF-16LE with or without its mark, or ASCII), in file
// order. Lines it cannot read are skipped; deletions of whole keys ("[-...]") are skipped.
std::vector<reg_key> parse_reg_file(const std::string& bytes);

// The key of `keys` named `name` (letter case not significant), or null.
const reg_key* find_reg_key(const std::vector<reg_key>& keys, const std::wstring& name);

}  // namespace backup
}  // namespace replay
