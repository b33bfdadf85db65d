// A record of the whole machine (the Wine prefix a test runs in) and the differences between two
// such records, so that a test can assert that a run changed only what it was meant to change.
//
//   const test_support::machine_snapshot before = test_support::take_machine_snapshot();
//   run_the_program();
//   for (const test_support::machine_change& c :
//        test_support::compare(before, test_support::take_machine_snapshot())) {
//     ADD_FAILURE() << c.text();   // "key HKLM\SOFTWARE\X: present -> absent"
//   }
//
// What is recorded, one item each:
//   key HKLM\...        every key of HKEY_LOCAL_MACHINE as the 64-bit view shows it (on 64-bit
//                       Windows the 32-bit view's own keys are its Wow6432Node keys, so both
//                       views are covered), "present"
//   key HKCU\..., key HKU\...   the current user's hive, and every other hive below HKEY_USERS
//   value <key> [name]  each value's data ("3", "\"text\"", "hex:01,02", ...)
//   file C:\...         each file of drive C: with its size and attributes; folders as
//                       "folder", links as "link" (never entered)
//   service <name>      each registered service with its state ("running", "stopped", ...)
//   process <name>      each running program by image name, with the number running
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace test_support {

struct machine_snapshot {
  // Item ("key HKLM\SOFTWARE\Corvane") -> state ("present"); ordered, so snapshots compare
  // item by item.
  std::map<std::string, std::string> items;
  // How long each part took to record, for benchmarks and test output.
  std::string timing;
};

// One item whose state differs between two snapshots; "absent" stands for a missing item.
struct machine_change {
  std::string item;
  std::string before;
  std::string after;
  // "<item>: <before> -> <after>".
  std::string text() const;
};

// Records the machine the calling program runs on. Throws std::runtime_error when a part of it
// cannot be read at all (the registry roots, drive C:, the service manager, the process list).
machine_snapshot take_machine_snapshot();

// Writes the snapshot to `path` as UTF-8 text, one "item<TAB>state" line each, and reads it back,
// so that snapshots taken by two runs of a program can be compared. Throw std::runtime_error
// when the file cannot be written or read.
void save_snapshot(const machine_snapshot& snapshot, const std::wstring& path);
machine_snapshot load_snapshot(const std::wstring& path);

// The items whose state differs, in item order.
std::vector<machine_change> compare(const machine_snapshot& before, const machine_snapshot& after);

// The changes that `expected` does not accept.
std::vector<machine_change> unexpected_changes(
    const std::vector<machine_change>& changes,
    const std::function<bool(const machine_change&)>& expected);

// Whether `item` names `path` itself or something below it, whatever its kind:
// "key HKLM\SOFTWARE\Corvane" and "value HKLM\SOFTWARE\Corvane\Sub [n]" are within
// "HKLM\SOFTWARE\Corvane", "file C:\ProgramData\Corvane\a.txt" within "C:\ProgramData\Corvane".
// Letter case is not significant, as in Windows names.
bool item_within(const std::string& item, const std::string& path);

}  // namespace test_support
