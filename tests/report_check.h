// A report-only run's report held against what the real run then changed: every report line is
// one changed item of the machine snapshot, and every changed item is covered by a line (the
// item itself, or something below a removed key or folder, a deleted service's keys, a stopped
// service's process).
#pragma once

#include <string>
#include <vector>

#include "testing/machine_snapshot.h"

namespace e2e {

// temporary folder + "CVPurgeline.report.txt".
std::string report_path();

// One change line of the report: "what<TAB>where [value] (view)<TAB>detail".
struct report_line {
  std::string text;   // the whole line
  std::string what;   // "delete key"
  std::string where;  // key path, file path, service or image name
  std::string value;  // value name of "delete value" and "set value"
  std::string detail;
};

// The report's change lines in order (UTF-8, between the header and the summary). Adds a test
// failure when the file is missing or not UTF-8 with a byte order mark.
std::vector<report_line> read_report(const std::string& path);

// What does not match, one entry each, ready for a failure message.
struct report_mismatch {
  std::vector<std::string> lines_without_change;  // report lines no changed item matches
  std::vector<std::string> changes_without_line;  // changed items no report line covers
  bool empty() const { return lines_without_change.empty() && changes_without_line.empty(); }
  std::string text() const;
};

// Holds `report` against `changes` (before -> after of the real run, noise already left out).
// `before` gives each service's program, whose process a stopped service takes with it.
report_mismatch compare_report(const std::vector<report_line>& report,
                               const std::vector<test_support::machine_change>& changes,
                               const test_support::machine_snapshot& before);

}  // namespace e2e
