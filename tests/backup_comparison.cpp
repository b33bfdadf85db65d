#include "tests/backup_comparison.h"

#include <windows.h>

#include <string>

#include "tests/purgeline_process.h"
#include "tests/seed/suite_scope.h"

namespace e2e {

std::vector<test_support::machine_change> backup_differences(
    const test_support::machine_snapshot& before, const test_support::machine_snapshot& after) {
  // What Wine's desktop records when a started console program first opens it is no item of
  // the run's, and no restore could take it back.
  return seed::without_run_noise(test_support::unexpected_changes(
      test_support::compare(before, after), [](const test_support::machine_change& c) {
        return c.item.compare(0, 8, "process ") == 0 || c.item.compare(0, 8, "service ") == 0 ||
               test_support::item_within(c.item, log_path()) ||
               test_support::item_within(c.item, "C:\\purgeline-backup") ||
               test_support::item_within(c.item, "C:\\ProgramData\\Purgeline backups");
      }));
}

}  // namespace e2e
