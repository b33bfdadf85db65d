#include "replay/registry2/key.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "replay/change/change_layer.h"
#include "replay/registry2/key_name.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace registry2 {
namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;  // 0x2001F
constexpr DWORD kListedChars = 259;     // the longest name subkey_names and value_names take
constexpr DWORD kExpandBuffer = 32768;  // characters, the most an expansion may give
constexpr DWORD kNotFound = 0;          // type of a value that does not exist

// Names in messages are ANSI, strict: a name without an ANSI form makes the message throw.
std::string quoted(const std::wstring& name) {
  return "\"" + to_narrow(name, CP_ACP, true) + "\"";
}

std::string handle_text(HKEY handle) {
  return std::to_string(static_cast<int>(reinterpret_cast<std::intptr_t>(handle)));
}

std::string code_text(LONG code) {
  return " (" + std::to_string(code) + ")";
}

std::string expected_found(DWORD expected, DWORD found) {
  return " expected " + std::to_string(static_cast<int>(expected)) + " found " +
         std::to_string(static_cast<int>(found));
}

// RegOpenKeyExW asking for read and write, and for reading alone when that is denied.
LONG open_with_retry(HKEY parent, const std::wstring& path, REGSAM flags, unique_hkey* result) {
  LONG code = RegOpenKeyExW(parent, path.c_str(), 0, kReadWrite | flags, result->receive());
  if (code == ERROR_ACCESS_DENIED) {
    code = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | flags, result->receive());
  }
  if (code != ERROR_SUCCESS) result->release();  // the slot holds no handle after a failure
  return code;
}

unique_hkey open_handle(HKEY parent, REGSAM flags) {
  unique_hkey result;
  LONG code = open_with_retry(parent, std::wstring(), flags, &result);
  if (code != ERROR_SUCCESS) {
    throw key_error("RegOpenKeyEx() failed: handle " + handle_text(parent) + code_text(code));
  }
  return result;
}

LONG open_exactly(HKEY parent, const std::wstring& path, REGSAM access, unique_hkey* result) {
  const LONG code = RegOpenKeyExW(parent, path.c_str(), 0, access, result->receive());
  if (code != ERROR_SUCCESS) result->release();
  return code;
}

// Checks a found type against the one a typed read expects; REG_EXPAND_SZ passes for REG_SZ.
void check_type(const std::wstring& name, DWORD expected, DWORD found) {
  if (found == kNotFound) throw value_error("Not found: value " + quoted(name));
  if (found == expected || (found == REG_EXPAND_SZ && expected == REG_SZ)) return;
  throw type_mismatch("Type mismatch: value " + quoted(name) + expected_found(expected, found));
}

// Reads exactly `expected` bytes of value `name` into `data`.
void read_sized(HKEY handle, const std::wstring& name, void* data, DWORD expected) {
  DWORD size = expected;
  LONG code =
      RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, static_cast<BYTE*>(data), &size);
  if (size != expected) {
    throw size_mismatch("Size mismatch: value " + quoted(name) + expected_found(expected, size));
  }
  if (code != ERROR_SUCCESS) {
    throw value_error("RegQueryValueEx() failed: value " + quoted(name) + code_text(code));
  }
}

// The system expands at most kExpandBuffer characters; a longer expansion is an error rather
// than a cut or overrun text.
std::wstring expand_environment(const std::wstring& name, const std::wstring& text) {
  std::vector<wchar_t> buffer(kExpandBuffer);
  DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), kExpandBuffer);
  LONG code = length == 0 ? static_cast<LONG>(GetLastError()) : ERROR_INSUFFICIENT_BUFFER;
  if (length == 0 || length > kExpandBuffer) {
    throw value_error("ExpandEnvironmentStrings() failed: value " + quoted(name) + code_text(code));
  }
  return std::wstring(buffer.data(), length - 1);
}

// The complete set of names a range lists; a name too long for it, or a failed call, fails.
template <typename Range, typename Name>
name_set complete_names(HKEY handle, const char* call, Range&& range, Name name_of) {
  name_set names;
  for (const auto& entry : range) names.insert(name_of(entry));
  const LONG code = range.skipped() != 0 ? ERROR_MORE_DATA : range.error();
  if (code != ERROR_SUCCESS) {
    throw key_error(std::string(call) + " failed: handle " + handle_text(handle) + code_text(code));
  }
  return names;
}

// Whether a report-only run has planned changes that reads must see.
bool planning() {
  return changes().planning();
}

// The planned state of value `name` of the key named `own` (null: no report-only run).
planned_value planned(const std::wstring* own, const std::wstring& name, DWORD* type,
                      std::string* data) {
  if (own == nullptr) return planned_value::unchanged;
  return changes().value_after(*own, name, type, data);
}

// Type and size as a query reports them, after the planned changes.
bool query_planned(HKEY handle, const std::wstring* own, const std::wstring& name, DWORD* type,
                   DWORD* size) {
  std::string data;
  switch (planned(own, name, type, &data)) {
    case planned_value::deleted:
      *type = kNotFound;
      *size = 0;
      return false;
    case planned_value::set:
      *size = static_cast<DWORD>(data.size());
      return true;
    default:
      break;
  }
  LONG code = RegQueryValueExW(handle, name.c_str(), nullptr, type, nullptr, size);
  if (code == ERROR_FILE_NOT_FOUND) *type = kNotFound;
  return code == ERROR_SUCCESS;
}

// Copies exactly `expected` bytes of a planned value, as read_sized does for a real one.
bool read_planned(const std::wstring* own, const std::wstring& name, void* data, DWORD expected) {
  std::string bytes;
  if (planned(own, name, nullptr, &bytes) != planned_value::set) return false;
  if (bytes.size() != expected) {
    throw size_mismatch("Size mismatch: value " + quoted(name) +
                        expected_found(expected, static_cast<DWORD>(bytes.size())));
  }
  std::memcpy(data, bytes.data(), bytes.size());
  return true;
}

change key_change(change_kind kind, HKEY handle, view v, const std::wstring& subkey,
                  const std::wstring& value) {
  change c;
  c.kind = kind;
  try {
    c.where = key_name(handle, subkey);
  } catch (...) {
    c.where = subkey;  // the system cannot name the key: its own name stands for it
  }
  c.view = registry_view_of(view_flags(v));
  c.value = value;
  return c;
}

}  // namespace

key::key(HKEY root, view v) : m_handle(open_handle(root, view_flags(v))), m_view(v) {}

key::key(unique_hkey handle, view v) : m_handle(std::move(handle)), m_view(v) {}

const std::wstring& key::planned_name() const {
  if (m_name.empty()) m_name = key_name(handle());
  return m_name;
}

key key::duplicate() const {
  return key(open_handle(handle(), view_flags(m_view)), m_view);
}

key key::open(const std::wstring& path, bool create) const {
  unique_hkey result;
  if (!create) {
    LONG code = open_with_retry(handle(), path, view_flags(m_view), &result);
    if (code != ERROR_SUCCESS) {
      throw key_error("RegOpenKeyEx() failed: key " + quoted(path) + code_text(code));
    }
    key opened(std::move(result), m_view);
    if (planning() && changes().removed_key(opened.planned_name())) {
      throw key_error("RegOpenKeyEx() failed: key " + quoted(path) +
                      code_text(ERROR_FILE_NOT_FOUND));
    }
    return opened;
  }
  LONG code = RegCreateKeyExW(handle(), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              kReadWrite | view_flags(m_view), nullptr, result.receive(), nullptr);
  if (code != ERROR_SUCCESS) {
    result.release();
    throw key_error("RegCreateKeyEx() failed: key " + quoted(path) + code_text(code));
  }
  return key(std::move(result), m_view);
}

std::optional<key> key::try_open(const std::wstring& path, REGSAM access, LONG* code) const {
  unique_hkey handle;
  LONG result = open_exactly(this->handle(), path, access | view_flags(m_view), &handle);
  std::optional<key> opened;
  if (result == ERROR_SUCCESS) {
    opened.emplace(key(std::move(handle), m_view));
    if (planning()) {
      opened->m_name = path.empty() ? planned_name() : planned_name() + L"\\" + path;
      if (changes().removed_key(opened->m_name)) {
        opened.reset();
        result = ERROR_FILE_NOT_FOUND;
      }
    }
  }
  if (code != nullptr) *code = result;
  return opened;
}

std::optional<key> key::try_open(HKEY root, const std::wstring& path, REGSAM access, view v,
                                 LONG* code) {
  unique_hkey handle;
  LONG result = open_exactly(root, path, access | view_flags(v), &handle);
  std::optional<key> opened;
  if (result == ERROR_SUCCESS) {
    opened.emplace(key(std::move(handle), v));
    if (planning() && changes().removed_key(opened->planned_name())) {
      opened.reset();
      result = ERROR_FILE_NOT_FOUND;
    }
  }
  if (code != nullptr) *code = result;
  return opened;
}

subkey_range key::subkeys(DWORD max_chars) const {
  return subkey_range(handle(), planning() ? planned_name() : std::wstring(), max_chars);
}

value_range key::values(DWORD data_bytes, DWORD max_chars) const {
  return value_range(handle(), planning() ? planned_name() : std::wstring(), data_bytes, max_chars);
}

name_set key::subkey_names() const {
  return complete_names(handle(), "RegEnumKeyEx()", subkeys(kListedChars),
                        [](const std::wstring& name) { return name; });
}

name_set key::value_names() const {
  return complete_names(handle(), "RegEnumValue()", values(0, kListedChars),
                        [](const value_entry& value) { return value.name; });
}

bool key::query(const std::wstring& name, DWORD* type, DWORD* size) const {
  DWORD found_type = kNotFound;
  DWORD found_size = 0;
  const bool found = query_planned(handle(), planning() ? &planned_name() : nullptr, name,
                                   &found_type, &found_size);
  if (type != nullptr) *type = found_type;
  if (size != nullptr) *size = found_size;
  return found;
}

std::wstring key::get_string(const std::wstring& name) const {
  DWORD type = kNotFound;
  DWORD size = 0;
  query(name, &type, &size);
  // Rounded up, so that a value of an odd byte count still fits; its stray last byte is dropped.
  std::vector<wchar_t> buffer((size + 1) / 2 + 1, L'\0');
  check_type(name, REG_SZ, type);
  if (!read_planned(planning() ? &planned_name() : nullptr, name, buffer.data(), size)) {
    read_sized(handle(), name, buffer.data(), size);
  }
  std::wstring text(buffer.data(), size / 2);
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return type == REG_EXPAND_SZ ? expand_environment(name, text) : text;
}

std::string key::get_string(const std::string& name) const {
  return to_narrow(get_string(to_wide(name, CP_ACP)), CP_ACP, true);
}

DWORD key::get_dword(const std::wstring& name) const {
  DWORD type = kNotFound;
  query(name, &type, nullptr);
  check_type(name, REG_DWORD, type);
  DWORD value = 0;
  if (!read_planned(planning() ? &planned_name() : nullptr, name, &value, sizeof(value))) {
    read_sized(handle(), name, &value, sizeof(value));
  }
  return value;
}

void key::set_value(const std::wstring& name, DWORD type, const void* data, DWORD size) {
  set_value(name, type, data, size, std::wstring());
}

void key::set_value(const std::wstring& name, DWORD type, const void* data, DWORD size,
                    const std::wstring& detail) {
  change c = key_change(change_kind::set_value, handle(), m_view, std::wstring(), name);
  c.value_type = type;
  c.data.assign(static_cast<const char*>(data), size);
  c.detail = detail;
  const HKEY h = handle();
  const LONG code = static_cast<LONG>(changes().make(c, [&] {
    return static_cast<DWORD>(
        RegSetValueExW(h, name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
  }));
  if (code != ERROR_SUCCESS) {
    throw value_error("RegSetValueEx() failed: value " + quoted(name) + code_text(code));
  }
}

void key::set_string(const std::wstring& name, const std::wstring& text) {
  set_value(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void key::set_dword(const std::wstring& name, DWORD value) {
  set_value(name, REG_DWORD, &value, sizeof(value));
}

void key::delete_value(const std::wstring& name) {
  delete_value(name, std::wstring());
}

void key::delete_value(const std::wstring& name, const std::wstring& detail) {
  const HKEY h = handle();
  change c = key_change(change_kind::delete_value, h, m_view, std::wstring(), name);
  c.detail = detail;
  const LONG code = static_cast<LONG>(
      changes().make(c, [&] { return static_cast<DWORD>(RegDeleteValueW(h, name.c_str())); }));
  if (code != ERROR_SUCCESS) {
    throw key_error("RegDeleteValue() failed: value " + quoted(name) + code_text(code));
  }
}

void key::delete_key(const std::wstring& name, bool recursive) {
  if (recursive) {
    key child = open(name, false);
    changes().tree_ahead(
        key_change(change_kind::delete_key, handle(), m_view, name, std::wstring()));
    for (const std::wstring& subkey : child.subkey_names()) child.delete_key(subkey, true);
  }  // the child's handle is closed before its key is deleted
  const HKEY h = handle();
  const REGSAM flags = view_flags(m_view);
  const change c = key_change(change_kind::delete_key, h, m_view, name, std::wstring());
  const LONG code = static_cast<LONG>(changes().make(c, [&] {
    return static_cast<DWORD>(flags == 0 ? RegDeleteKeyW(h, name.c_str())
                                         : RegDeleteKeyExW(h, name.c_str(), flags, 0));
  }));
  if (code != ERROR_SUCCESS) {
    throw key_error("RegDeleteKey() failed: key " + quoted(name) + code_text(code));
  }
}

}  // namespace registry2
}  // namespace replay
