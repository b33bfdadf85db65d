#include "replay/backup/restore.h"

#include <windows.h>

#include <vector>

#include "replay/backup/backup_store.h"
#include "replay/backup/restore_items.h"
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

item_result restore_item(const backup_reader& backup, const index_entry& e,
                         std::vector<index_entry>* made_folders) {
  switch (e.kind) {
    case change_kind::delete_key:
      return restore_key(backup, e);
    case change_kind::delete_service:
      return restore_service(backup, e);
    case change_kind::delete_value:
    case change_kind::set_value:
      return restore_value(backup, e);
    case change_kind::delete_file:
    case change_kind::schedule_at_restart:
      return restore_file(backup, e);
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
    default:
      ++counts.lost;
  }
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
  std::vector<index_entry> made_folders;
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    const item_result r = restore_item(backup, *e, &made_folders);
    count(r.result, counts);
    log_write(1, outcome_text(r.result) + item_text(e->kind, e->where, e->value) +
                     (r.why.empty() ? L"" : L" (" + r.why + L")"));
  }
  for (auto e = made_folders.rbegin(); e != made_folders.rend(); ++e) set_folder_times(*e);
  log_write(1, L"Restore done: " + std::to_wstring(counts.restored) + L" restored, " +
                   std::to_wstring(counts.present) + L" already in place, " +
                   std::to_wstring(counts.conflicts) + L" conflicts, " +
                   std::to_wstring(counts.lost) + L" cannot be restored, " +
                   std::to_wstring(counts.unreadable) + L" unreadable index lines");
  log_write(1, std::wstring(L"Ended processes and the running state of services cannot come "
                            L"back; restored service registrations are seen by the service "
                            L"manager at the next restart"));
  return counts;
}

}  // namespace backup
}  // namespace replay
