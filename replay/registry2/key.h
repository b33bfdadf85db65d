// A registry key object: owns one open handle and offers opening, creating, listing, typed reads,
// writes and deletion. Names and values are UTF-16. A key is reached through one registry view
// (view.h), chosen when the key is made from a root and kept by every key opened below it. Every
// failure throws a replay::registry2 kind (errors.h) whose message names the key or
// value (in the ANSI code page, strict: a name without an ANSI form makes the message itself
// throw replay::unicode::unmappable_character) and the Windows error code.
//
// Keys are opened with KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE; when that is denied, the
// open is repeated once with KEY_READ alone, so read-only keys can still be read (writes through
// such a key then fail with code 5). try_open opens with exactly the access asked for instead.
//
//   replay::registry2::key software(HKEY_CURRENT_USER);
//   replay::registry2::key product = software.open(L"Software\\Corvane", false);
//   for (const std::wstring& name : product.subkey_names()) product.delete_key(name, true);
#pragma once

#include <windows.h>

#include <optional>
#include <set>
#include <string>

#include "replay/registry2/enumeration.h"
#include "replay/registry2/errors.h"
#include "replay/registry2/view.h"
#include "replay/unique_handle.h"

namespace replay {
namespace registry2 {

// Registry names in UTF-16 code-unit order (case-sensitive, ordinal), without duplicates.
using name_set = std::set<std::wstring>;

class key {
 public:
  // A key of its own on `root` (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, ...,
  // or any open handle), reached through `v`. Throws key_error
  // "RegOpenKeyEx() failed: handle %i (%i)".
  explicit key(HKEY root, view v = view::own);
  key(key&&) noexcept = default;
  key& operator=(key&&) noexcept = default;
  key(const key&) = delete;
  key& operator=(const key&) = delete;
  ~key() = default;

  // A second key object (a second handle) on the same registry key.
  // Throws key_error "RegOpenKeyEx() failed: handle %i (%i)".
  key duplicate() const;

  // The subkey at relative `path`. create = false: it must exist (key_error
  // "RegOpenKeyEx() failed: key \"%s\" (%i)", code 2 when missing). create = true: created with
  // its missing parents, or opened if it exists; no read-only retry (key_error
  // "RegCreateKeyEx() failed: key \"%s\" (%i)").
  key open(const std::wstring& path, bool create = false) const;

  // The subkey at relative `path`, opened with exactly `access` (plus the key's view flag), or
  // nothing, with the system's code in `code` (if given). While changes are planned, a key
  // the run has planned to remove answers ERROR_FILE_NOT_FOUND; the subkey's name is then this
  // key's name and `path`, so no further call names it. Never throws.
  std::optional<key> try_open(const std::wstring& path, REGSAM access, LONG* code = nullptr) const;
  // The same below a root (or any open handle) that is no key object, reached through `v`. While
  // changes are planned, the key opened is named by the system (one NtQueryKey).
  static std::optional<key> try_open(HKEY root, const std::wstring& path, REGSAM access, view v,
                                     LONG* code = nullptr);

  // Lists the direct subkeys / the values one by one (enumeration.h): never cut, a name that
  // does not fit is skipped and counted; while changes are planned, what the run has planned to
  // remove is not listed. `data_bytes` > 0: each value's data is read with it, up to that size.
  subkey_range subkeys(DWORD max_chars = kMaxKeyNameChars) const;
  value_range values(DWORD data_bytes = 0, DWORD max_chars = kMaxValueNameChars) const;

  // Names of the direct subkeys / of the values, complete before they are returned, so callers
  // may delete what they list. They take names of up to 259 characters: a longer name, or a
  // failed call, fails the listing with key_error "RegEnumKeyEx() failed: handle %i (%i)" /
  // "RegEnumValue() failed: handle %i (%i)" (code 234, ERROR_MORE_DATA, for a name too long).
  name_set subkey_names() const;
  name_set value_names() const;

  // Whether value `name` could be queried. `type` receives its type (0 when the value does not
  // exist), `size` its data size in bytes; either may be null. Never throws.
  bool query(const std::wstring& name, DWORD* type = nullptr, DWORD* size = nullptr) const;

  // Text of a REG_SZ or REG_EXPAND_SZ value (the latter with environment variables expanded),
  // without its terminating zero. Throws value_error "Not found: value \"%s\"", type_mismatch
  // "Type mismatch: value \"%s\" expected %i found %i", size_mismatch
  // "Size mismatch: value \"%s\" expected %i found %i" or value_error
  // "RegQueryValueEx() failed: value \"%s\" (%i)"; an expansion longer than 32767 characters
  // throws value_error "ExpandEnvironmentStrings() failed: value \"%s\" (122)".
  std::wstring get_string(const std::wstring& name) const;
  // The same with an ANSI name and result; also throws the replay::unicode kinds when either
  // does not convert.
  std::string get_string(const std::string& name) const;
  // A REG_DWORD value of exactly 4 bytes; errors as get_string.
  DWORD get_dword(const std::wstring& name) const;

  // Writes `size` bytes of `data` as value `name` of `type`.
  // Throws value_error "RegSetValueEx() failed: value \"%s\" (%i)".
  // Goes through the change layer (replay/change), as every write and deletion below does;
  // `detail` tells the report and the backup what the change means ("3 -> 2").
  void set_value(const std::wstring& name, DWORD type, const void* data, DWORD size);
  void set_value(const std::wstring& name, DWORD type, const void* data, DWORD size,
                 const std::wstring& detail);
  // REG_SZ including the terminating zero ((length + 1) * 2 bytes).
  void set_string(const std::wstring& name, const std::wstring& text);
  // REG_DWORD of 4 bytes.
  void set_dword(const std::wstring& name, DWORD value);

  // Throws key_error "RegDeleteValue() failed: value \"%s\" (%i)". `detail` tells the report
  // and the backup what the value held ("3 -> deleted").
  void delete_value(const std::wstring& name);
  void delete_value(const std::wstring& name, const std::wstring& detail);
  // Deletes the direct or deeper subkey `name` (in the key's view: RegDeleteKeyExW for an
  // explicit one); with `recursive`, its whole tree first. Without it
  // a key that still has subkeys fails. Throws key_error "RegDeleteKey() failed: key \"%s\" (%i)"
  // (or the open's key_error when a recursive delete finds no such key).
  void delete_key(const std::wstring& name, bool recursive);

  // The open handle, for calls this layer does not offer. Stays owned by the key.
  HKEY handle() const { return m_handle.get(); }
  // The view the key was reached through.
  view reached_through() const { return m_view; }

 private:
  key(unique_hkey handle, view v);

  // The physical name of the key (key_name.h), asked of the system once, when a report-only
  // run first needs it to see its planned changes.
  const std::wstring& planned_name() const;

  unique_hkey m_handle;
  view m_view = view::own;
  mutable std::wstring m_name;
};

}  // namespace registry2
}  // namespace replay
