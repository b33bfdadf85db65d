// The backup of a run: set on the real change layer the run installs (set_observer), it saves what
// each change takes away just before the change is made, into a backup folder that a restore
// (restore.h) reads. A change whose backup cannot be written is refused, so nothing is removed
// without its backup; the refusal is logged ("   skipped: no backup of ...") and the change's
// call site logs the failure as it logs any failed change.
//
// What is saved, per kind of change:
//   delete key       the key's tree exported with reg.exe, once per tree: a tree whose deletion
//                    is announced (tree_ahead) is exported whole before its first key goes
//   delete value,    a registry file that sets the old value back ("name"=- when there was
//   set value        none); for set value also one holding the value the run wrote
//   delete file,     a copy with attributes and times under its path (files\C\...)
//   schedule at restart
//   remove folder    the folder's attributes and times, in the index
//   write file       the old file byte for byte, and what the run wrote
//   delete service   its key below HKLM\SYSTEM\CurrentControlSet\Services, exported
//   end process, stop service, run program: an index line only (they cannot be undone)
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "backup/backup_index.h"
#include "backup/backup_store.h"
#include "replay/change/real_changes.h"

namespace replay {
namespace backup {

class backup_observer : public change_observer {
 public:
  // `folder` exists and is empty; throws backup_error when its index cannot be made.
  explicit backup_observer(const std::wstring& folder);

  DWORD before(const change& c) override;
  void tree_ahead(const change& c) override;

  const std::wstring& folder() const { return m_store.folder(); }
  // Bytes written into the backup folder so far, reg.exe's exports included.
  unsigned long long size() const { return m_store.size(); }
  // Items in the index.
  int items() const { return m_number; }

 protected:
  // Saves what `c` takes away and fills in where it went (e.saved). Returns 0, the error that
  // refuses the change, or a mark of its own when the item is gone and nothing needs saving. A
  // backup that must fail on purpose (a test's full disk: testing/failing_backup_observer.h)
  // overrides it.
  virtual DWORD save(const change& c, index_entry& e);

 private:
  struct saved_tree {
    std::wstring file;            // relative to the folder
    std::set<std::wstring> keys;  // long names, upper case
  };

  DWORD save_key(const change& c, index_entry& e);
  DWORD save_value(const change& c, index_entry& e);
  DWORD save_file(const change& c, index_entry& e);
  DWORD save_folder(const change& c, index_entry& e);
  DWORD save_written(const change& c, index_entry& e);
  DWORD save_service(const change& c, index_entry& e);
  // Copies the open file `item` to its place below files\ (e.saved).
  DWORD copy_under_path(HANDLE item, const std::wstring& path, index_entry& e);
  // Exports the tree of `key` as the next numbered file; 0 or the error.
  DWORD export_tree(const std::wstring& key, registry_view view, std::wstring* file);
  // The next numbered file name: "00007" + suffix.
  std::wstring numbered(const wchar_t* suffix);

  backup_store m_store;
  int m_number = 0;  // items indexed so far
  int m_files = 0;   // files named by number so far
  std::vector<saved_tree> m_trees;
};

}  // namespace backup
}  // namespace replay
