// The layer of a report-only run: records each change in order, never makes it, and remembers
// its effect for the reads that decide what to do next.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "replay/change/change_layer.h"

namespace replay {

class planned_changes : public change_layer {
 public:
  bool planning() const override { return true; }
  DWORD make(const change& c, const std::function<DWORD()>& apply) override;

  bool removed_path(const std::wstring& path) const override;
  bool removed_key(const std::wstring& key) const override;
  planned_value value_after(const std::wstring& key, const std::wstring& name, DWORD* type,
                            std::string* data) const override;
  bool written_file(const std::wstring& path, std::string* content) const override;
  bool ended_process(DWORD process_id) const override;
  bool stopped_service(const std::wstring& name) const override;
  bool deleted_service(const std::wstring& name) const override;

  // Every planned change, in the order the run would make them.
  const std::vector<change>& planned() const { return m_planned; }

 private:
  struct value_plan {
    bool deleted = false;
    DWORD type = 0;
    std::string data;
  };

  std::vector<change> m_planned;
  std::set<std::wstring> m_removed_paths;       // upper case
  std::set<std::wstring> m_removed_keys;        // upper case
  std::map<std::wstring, value_plan> m_values;  // upper-case key + L"\n" + upper-case name
  std::map<std::wstring, std::string> m_files;  // upper case
  std::set<DWORD> m_processes;
  std::set<std::wstring> m_stopped, m_deleted;  // upper case
};

}  // namespace replay
