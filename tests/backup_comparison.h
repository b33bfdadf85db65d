// The comparison of a machine before a run with a backup and after its restore: what a restore
// cannot or need not give back is left out.
#pragma once

#include <vector>

#include "testing/machine_snapshot.h"

namespace e2e {

// The differences between `before` and `after`, leaving out the processes, the state of
// services (a restored registration is seen by the service manager at the next restart), the
// run's log, the backups themselves and what Wine changes by itself.
std::vector<test_support::machine_change> backup_differences(
    const test_support::machine_snapshot& before, const test_support::machine_snapshot& after);

}  // namespace e2e
