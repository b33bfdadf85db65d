#include "replay/registry2/enumeration.h"

#include "replay/change/change_layer.h"

namespace replay {
namespace registry2 {
namespace {

// Whether planned changes may hide entries of the key named `name`.
bool filtered(const std::wstring& name) {
  return !name.empty() && changes().planning();
}

}  // namespace

std::wstring value_entry::text() const {
  std::wstring result(data.size() / sizeof(wchar_t), L'\0');
  if (!result.empty()) data.copy(reinterpret_cast<char*>(&result[0]), result.size() * 2);
  return result.substr(0, result.find(L'\0'));
}

subkey_range::subkey_range(HKEY handle, std::wstring planned_name, DWORD max_chars)
    : listing(handle, std::move(planned_name), max_chars) {}

void subkey_range::advance() {
  while (!m_done) {
    DWORD length = static_cast<DWORD>(m_buffer.size());
    const LONG code = RegEnumKeyExW(m_handle, m_index++, m_buffer.data(), &length, nullptr, nullptr,
                                    nullptr, nullptr);
    if (!read_one(code)) continue;
    m_entry.assign(m_buffer.data(), length);
    if (!filtered(m_planned_name) || !changes().removed_key(m_planned_name + L"\\" + m_entry))
      return;
  }
}

value_range::value_range(HKEY handle, std::wstring planned_name, DWORD data_bytes, DWORD max_chars)
    : listing(handle, std::move(planned_name), max_chars), m_data(data_bytes) {}

void value_range::advance() {
  while (!m_done) {
    DWORD length = static_cast<DWORD>(m_buffer.size());
    DWORD size = static_cast<DWORD>(m_data.size());
    DWORD type = REG_NONE;
    const LONG code =
        RegEnumValueW(m_handle, m_index++, m_buffer.data(), &length, nullptr, &type,
                      m_data.empty() ? nullptr : m_data.data(), m_data.empty() ? nullptr : &size);
    if (!read_one(code)) continue;
    m_entry.name.assign(m_buffer.data(), length);
    m_entry.type = type;
    m_entry.data.assign(reinterpret_cast<const char*>(m_data.data()), m_data.empty() ? 0 : size);
    if (!filtered(m_planned_name) || changes().value_after(m_planned_name, m_entry.name, nullptr,
                                                           nullptr) != planned_value::deleted) {
      return;
    }
  }
}

}  // namespace registry2
}  // namespace replay
