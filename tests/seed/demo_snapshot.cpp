// The demo's whole-machine account of a run:
//   demo_snapshot save FILE             records the machine into FILE
//   demo_snapshot compare BEFORE AFTER  lists every change between two records: first what is
//                                       the suite's, then whatever else changed (nothing, when
//                                       the clean-up kept to the suite)
#include <cstdio>
#include <exception>
#include <string>

#include "testing/machine_snapshot.h"
#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_scope.h"

namespace {

int compare_files(const std::wstring& before_path, const std::wstring& after_path) {
  const std::vector<test_support::machine_change> changes = test_support::compare(
      test_support::load_snapshot(before_path), test_support::load_snapshot(after_path));
  const std::vector<test_support::machine_change> outside =
      seed::changes_outside_the_suite(changes);
  std::printf("%zu changes in all, %zu of them outside the suite\n", changes.size(),
              outside.size());
  for (const test_support::machine_change& change : changes) {
    std::printf("  %s\n", change.text().c_str());
  }
  std::printf("changes outside the suite:%s\n", outside.empty() ? " none" : "");
  for (const test_support::machine_change& change : outside) {
    std::printf("  %s\n", change.text().c_str());
  }
  return outside.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "save" && argc == 3) {
      const test_support::machine_snapshot snapshot = test_support::take_machine_snapshot();
      test_support::save_snapshot(snapshot, seed::wide(argv[2]));
      std::printf("machine snapshot: %zu items (%s)\n", snapshot.items.size(),
                  snapshot.timing.c_str());
      return 0;
    }
    if (mode == "compare" && argc == 4)
      return compare_files(seed::wide(argv[2]), seed::wide(argv[3]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo_snapshot: %s\n", e.what());
    return 2;
  }
  std::fprintf(stderr, "usage: demo_snapshot save FILE | compare BEFORE AFTER\n");
  return 2;
}
