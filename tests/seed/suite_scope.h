// What a Purgeline run on the seeded machine may change: the suite's own keys, values, files,
// services and processes, the run's own log, and what Wine changes by itself while programs
// start and end. Everything else on the machine must come through a run unchanged.
#pragma once

#include <string>
#include <vector>

#include "testing/machine_snapshot.h"

namespace seed {

// The changes that are not the suite's. `also_the_suites` names further keys, folders, services
// or processes (as the snapshot names them) that a scenario seeded as the suite's.
std::vector<test_support::machine_change> changes_outside_the_suite(
    const std::vector<test_support::machine_change>& changes,
    const std::vector<std::string>& also_the_suites = {});

// The changes left when what Wine changes by itself while programs start and end, and the run's
// own output (its log and a report-only run's report), are taken out.
std::vector<test_support::machine_change> without_run_noise(
    const std::vector<test_support::machine_change>& changes);

}  // namespace seed
