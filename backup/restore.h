// Puts back what a backup (backup_observer.h) holds: its index undone from the last item to
// the first. Nothing that exists now is overwritten unless it is what the run left there (or
// already what the backup holds); anything else is kept and logged as a conflict. Every item is
// logged, and a second restore of the same backup finds everything in place.
//
// Processes that were ended and the running state of services cannot come back; a service's
// registration comes back as its key, which the service manager reads at the next restart.
#pragma once

#include <string>

namespace replay {
namespace backup {

struct restore_counts {
  int restored = 0;    // put back
  int present = 0;     // already as the backup holds it
  int conflicts = 0;   // something else there now: kept
  int missing = 0;     // not put back: its saved copy is missing or unreadable, or none was made
  int lost = 0;        // cannot come back by nature (ended processes, running state, programs run)
  int unreadable = 0;  // index lines that could not be read

  // Whether every item is in place now: none kept in conflict, none missing, no line
  // unreadable. What cannot come back by nature does not count against it.
  bool all_in_place() const { return conflicts == 0 && missing == 0 && unreadable == 0; }
};

// Restores the backup in `folder`; the last log line sums up the counts ("Restore done: ...").
// Throws backup_error when its index cannot be read.
restore_counts restore_backup(const std::wstring& folder);

}  // namespace backup
}  // namespace replay
