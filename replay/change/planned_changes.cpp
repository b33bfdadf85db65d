#include "replay/change/planned_changes.h"

#include <algorithm>

#include "replay/unicode/unicode.h"

namespace replay {
namespace {

// Upper case without trailing separators: "C:\A\" and "c:\a" name the same folder.
std::wstring upper(const std::wstring& name) {
  std::wstring text = to_upper(name);
  while (text.size() > 1 && text.back() == L'\\') text.pop_back();
  return text;
}

// Whether `name` or one of the names above it (at a backslash) is in `removed`.
bool removed_at_or_above(const std::set<std::wstring>& removed, const std::wstring& name) {
  if (removed.empty()) return false;
  std::wstring path = upper(name);
  for (;;) {
    if (removed.count(path)) return true;
    const size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos || separator == 0) return false;
    path.erase(separator);
  }
}

std::wstring value_id(const std::wstring& key, const std::wstring& name) {
  return upper(key) + L"\n" + upper(name);
}

}  // namespace

DWORD planned_changes::make(const change& c, const std::function<DWORD()>&) {
  m_planned.push_back(c);
  switch (c.kind) {
    case change_kind::end_process: {
      DWORD id = 0;
      if (swscanf(c.detail.c_str(), L"process id %lu", &id) == 1) m_processes.insert(id);
      break;
    }
    case change_kind::stop_service: {
      m_stopped.insert(upper(c.where));
      DWORD id = 0;  // the service's own process ends with it
      if (swscanf(c.detail.c_str(), L"process id %lu", &id) == 1) m_processes.insert(id);
      break;
    }
    case change_kind::delete_service:
      m_stopped.insert(upper(c.where));
      m_deleted.insert(upper(c.where));
      break;
    case change_kind::delete_file:
    case change_kind::remove_folder:
    case change_kind::schedule_at_restart:
      m_removed_paths.insert(upper(c.where));
      m_files.erase(upper(c.where));
      break;
    case change_kind::delete_key:
      m_removed_keys.insert(upper(c.where));
      break;
    case change_kind::delete_value: {
      value_plan& plan = m_values[value_id(c.where, c.value)];
      plan.deleted = true;
      plan.data.clear();
      break;
    }
    case change_kind::set_value: {
      value_plan& plan = m_values[value_id(c.where, c.value)];
      plan.deleted = false;
      plan.type = c.value_type;
      plan.data = c.data;
      break;
    }
    case change_kind::write_file:
      m_files[upper(c.where)] = c.data;
      m_removed_paths.erase(upper(c.where));
      break;
    case change_kind::run_program:
      break;
  }
  return 0;
}

bool planned_changes::removed_path(const std::wstring& path) const {
  return removed_at_or_above(m_removed_paths, path);
}

bool planned_changes::removed_key(const std::wstring& key) const {
  return removed_at_or_above(m_removed_keys, key);
}

planned_value planned_changes::value_after(const std::wstring& key, const std::wstring& name,
                                           DWORD* type, std::string* data) const {
  if (removed_key(key)) return planned_value::deleted;
  const auto found = m_values.find(value_id(key, name));
  if (found == m_values.end()) return planned_value::unchanged;
  if (found->second.deleted) return planned_value::deleted;
  if (type) *type = found->second.type;
  if (data) *data = found->second.data;
  return planned_value::set;
}

bool planned_changes::written_file(const std::wstring& path, std::string* content) const {
  const auto found = m_files.find(upper(path));
  if (found == m_files.end()) return false;
  if (content) *content = found->second;
  return true;
}

bool planned_changes::ended_process(DWORD process_id) const {
  return m_processes.count(process_id) != 0;
}

bool planned_changes::stopped_service(const std::wstring& name) const {
  return m_stopped.count(upper(name)) != 0;
}

bool planned_changes::deleted_service(const std::wstring& name) const {
  return m_deleted.count(upper(name)) != 0;
}

}  // namespace replay
