#include "backup/restore.h"

#include <windows.h>

#include <map>
#include <set>
#include <vector>

#include "backup/backup_store.h"
#include "backup/reg_file.h"
#include "backup/restore_items.h"
#include "replay/log/log.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace backup {
namespace {

item_result cannot_come_back(const index_entry& e) {
  switch (e.kind) {
    case change_kind::end_process:
      return {outcome::lost, L"a process that was ended cannot come back"};
    case change_kind::stop_service:
      return {outcome::lost, L"a service's running state cannot come back"};
    default:
      return {outcome::lost, L"a program that ran cannot be undone"};
  }
}

// Keys the run made itself and deleted again (a journal of its own): the run set values in them
// where there were none, at their deletion every value they held was such a value, and every key
// below them is such a key. Putting them back would add what was never there. (An empty key that
// was there before the run wrote into it is taken for one of them: it stays away.)
class made_by_the_run {
 public:
  made_by_the_run(const backup_reader& backup, const std::vector<index_entry>& entries) {
    for (const index_entry& e : entries) {
      std::string bytes;
      if (e.kind != change_kind::set_value || !backup.read(e.saved, &bytes)) continue;
      const std::vector<reg_key> old = parse_reg_file(bytes);
      if (old.size() == 1 && old[0].values.size() == 1 && old[0].values[0].absent) {
        m_values.insert(to_upper(old[0].name) + L"\n" + to_upper(e.value));
        m_written.insert(to_upper(old[0].name));
      }
    }
    for (const index_entry& e : entries) {
      if (e.kind != change_kind::delete_key || m_files.count(e.saved)) continue;
      std::string bytes;
      if (backup.read(e.saved, &bytes)) m_files[e.saved] = parse_reg_file(bytes);
    }
    for (const index_entry& e : entries) {
      if (e.kind == change_kind::delete_key && m_files.count(e.saved)) {
        m_key_files[to_upper(long_key_name(e.where))] = e.saved;
      }
    }
  }

  // Whether the key `where` (as a change names it) is one of them.
  bool made(const std::wstring& where) const {
    const std::wstring name = to_upper(long_key_name(where));
    const auto file = m_key_files.find(name);
    return file != m_key_files.end() && made(m_files.at(file->second), name);
  }

 private:
  bool made(const std::vector<reg_key>& keys, const std::wstring& name) const {
    const reg_key* key = find_reg_key(keys, name);
    if (key == nullptr) return false;
    for (const reg_value& v : key->values) {
      if (!m_values.count(name + L"\n" + to_upper(v.name))) return false;
    }
    int children = 0;
    for (const reg_key& child : keys) {
      const std::wstring child_name = to_upper(child.name);
      if (child_name.size() <= name.size() + 1 || child_name.compare(0, name.size(), name) != 0 ||
          child_name[name.size()] != L'\\' ||
          child_name.find(L'\\', name.size() + 1) != std::wstring::npos) {
        continue;
      }
      if (!made(keys, child_name)) return false;
      ++children;
    }
    return children > 0 || m_written.count(name) > 0;
  }

  std::set<std::wstring> m_values;   // upper-case key name + "\n" + upper-case value name
  std::set<std::wstring> m_written;  // upper-case names of the keys those values are in
  std::map<std::wstring, std::vector<reg_key>> m_files;
  std::map<std::wstring, std::wstring> m_key_files;  // deleted key (upper case) -> its file
};

// The backup's copies of the file `e` names that changes before `e` saved.
std::vector<std::wstring> earlier_copies(const std::vector<index_entry>& entries,
                                         const index_entry& e) {
  std::vector<std::wstring> copies;
  for (const index_entry& other : entries) {
    if (other.number >= e.number) break;
    if (!other.saved.empty() && _wcsicmp(other.where.c_str(), e.where.c_str()) == 0 &&
        (other.kind == change_kind::write_file || other.kind == change_kind::delete_file ||
         other.kind == change_kind::schedule_at_restart)) {
      copies.push_back(other.saved);
    }
  }
  return copies;
}

item_result restore_item(const backup_reader& backup, const index_entry& e,
                         const made_by_the_run& made, const std::vector<std::wstring>& earlier,
                         std::vector<index_entry>* made_folders) {
  switch (e.kind) {
    case change_kind::delete_key:
      if (made.made(e.where)) return {outcome::present, L"the run made it: nothing to put back"};
      return restore_key(backup, e);
    case change_kind::delete_service:
      return restore_service(backup, e);
    case change_kind::delete_value:
    case change_kind::set_value:
      if (made.made(e.where))
        return {outcome::present, L"the run made its key: nothing to put back"};
      return restore_value(backup, e);
    case change_kind::delete_file:
    case change_kind::schedule_at_restart:
      return restore_file(backup, e, earlier);
    case change_kind::write_file:
      return restore_written_file(backup, e);
    case change_kind::remove_folder:
      return restore_folder(e, made_folders);
    default:
      return cannot_come_back(e);
  }
}

const wchar_t* outcome_text(outcome o) {
  switch (o) {
    case outcome::restored:
      return L"   restored: ";
    case outcome::present:
      return L"   already in place: ";
    case outcome::conflict:
      return L"   conflict, kept what is there: ";
    case outcome::missing:
      return L"   not restored: ";
    default:
      return L"   cannot be restored: ";
  }
}

void count(outcome o, restore_counts& counts) {
  switch (o) {
    case outcome::restored:
      ++counts.restored;
      break;
    case outcome::present:
      ++counts.present;
      break;
    case outcome::conflict:
      ++counts.conflicts;
      break;
    case outcome::missing:
      ++counts.missing;
      break;
    default:
      ++counts.lost;
  }
}

// The restore's last line: every count, and whether every item is in place now.
std::wstring summary(const restore_counts& counts) {
  return L"Restore done: " + std::to_wstring(counts.restored) + L" restored, " +
         std::to_wstring(counts.present) + L" already in place, " +
         std::to_wstring(counts.conflicts) + L" conflicts, " + std::to_wstring(counts.missing) +
         L" not restored (saved copy missing), " + std::to_wstring(counts.unreadable) +
         L" unreadable index lines, " + std::to_wstring(counts.lost) +
         L" that cannot come back by nature" +
         (counts.all_in_place() ? L": every item is in place"
                                : L": some items are not in place, the restore failed");
}

std::string read_index_text(const std::wstring& folder) {
  const backup_reader backup(folder);
  std::string text;
  if (!backup.read(kIndexName, &text)) {
    throw backup_error("cannot read the index of the backup " + to_narrow(folder, CP_ACP, false));
  }
  return text;
}

}  // namespace

restore_counts restore_backup(const std::wstring& folder) {
  restore_counts counts;
  const std::vector<index_entry> entries = read_index(read_index_text(folder), &counts.unreadable);
  log_write(1, L"Restore of " + std::to_wstring(entries.size()) + L" items from " + folder +
                   L", last change first");
  const backup_reader backup(folder);
  const made_by_the_run made(backup, entries);
  std::vector<index_entry> made_folders;
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    const item_result r =
        restore_item(backup, *e, made, earlier_copies(entries, *e), &made_folders);
    count(r.result, counts);
    log_write(1, outcome_text(r.result) + item_text(e->kind, e->where, e->value) +
                     (r.why.empty() ? L"" : L" (" + r.why + L")"));
  }
  for (auto e = made_folders.rbegin(); e != made_folders.rend(); ++e) set_folder_times(*e);
  log_write(1, std::wstring(L"Ended processes and the running state of services cannot come "
                            L"back, nor can programs that ran: they do not make the restore "
                            L"fail; restored service registrations are seen by the service "
                            L"manager at the next restart"));
  log_write(1, summary(counts));
  return counts;
}

}  // namespace backup
}  // namespace replay
