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
  int lost = 0;        // cannot come back (processes, running state, links)
  int unreadable = 0;  // index lines that could not be read
};

// Restores the backup in `folder`. Throws backup_error when its index cannot be read.
restore_counts restore_backup(const std::wstring& folder);

}  // namespace backup
}  // namespace replay
