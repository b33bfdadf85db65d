// What a Purgeline run on the seeded machine may change: the suite's own keys, values, files,
// services and processes, the run's own log, and what Wine changes by itself while programs
// start and end. Everything else on the machine must come through a run unchanged.
#pragma once

#include <vector>

#include "testing/machine_snapshot.h"

namespace seed {

// The changes that are not the suite's.
std::vector<test_support::machine_change> changes_outside_the_suite(
    const std::vector<test_support::machine_change>& changes);

}  // namespace seed
