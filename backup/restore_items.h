// The restore of one index item, per kind (restore.cpp undoes the index in reverse order).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "backup/backup_index.h"

namespace replay {
namespace backup {

// lost: cannot come back by nature; missing: its saved copy is missing, unreadable or was
// never made.
enum class outcome { restored, present, conflict, missing, lost };

struct item_result {
  outcome result = outcome::present;
  std::wstring why;  // for a conflict, a missing copy or a loss: what stands in the way
};

// What the restore reads from the backup folder.
class backup_reader {
 public:
  explicit backup_reader(const std::wstring& folder) : m_folder(folder) {}
  // The bytes of the backup's file `relative`; false for a missing file or a name that leaves
  // the folder.
  bool read(const std::wstring& relative, std::string* bytes) const;
  // The full path of `relative`, or empty for a name that leaves the folder.
  std::wstring path(const std::wstring& relative) const;

 private:
  std::wstring m_folder;
};

item_result restore_key(const backup_reader& backup, const index_entry& e);
item_result restore_service(const backup_reader& backup, const index_entry& e);
item_result restore_value(const backup_reader& backup, const index_entry& e);
// `earlier`: the backup's copies of the same file saved by earlier changes (a file the run
// wrote before it deleted it): a file that holds one of them is already as it was before.
item_result restore_file(const backup_reader& backup, const index_entry& e,
                         const std::vector<std::wstring>& earlier);
item_result restore_written_file(const backup_reader& backup, const index_entry& e);
// A folder made again is named in `made`, to get its attributes and times once the files in it
// are back.
item_result restore_folder(const index_entry& e, std::vector<index_entry>* made);
void set_folder_times(const index_entry& e);

}  // namespace backup
}  // namespace replay
