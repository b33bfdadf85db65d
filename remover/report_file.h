// The report of a report-only run: what a real run would change on this machine, one change a
// line in the order the run would make them, with a short header and a summary that counts the
// changes of each kind.
#pragma once

#include <string>
#include <vector>

#include "replay/change/change.h"

// Temporary folder + "CVPurgeline.report.txt": beside the log.
std::string report_path();

// What the header says about the run.
struct report_header {
  std::string run;       // "Purgeline 1.0.0 (commit x) report-only run: nothing is changed"
  std::string started;   // local time the run started, "2024-05-01 10:00:00"
  std::string settings;  // "BrandName: ...; SuiteName: ...; ServiceName: ..."
  std::string backup;    // where a real run with "/backup" would save; empty without one
};

// The whole report as UTF-8 with a byte order mark and CRLF line ends: the header, the
// assumptions the plan rests on (one for each program it would start, from that change's
// detail), one line per change (replay::change::text(), each column with its control characters
// and "%" written as "%XX"), then the summary ("delete file: 3"),
// every kind listed, zeros included.
std::string report_text(const report_header& header, const std::vector<replay::change>& changes);

// Writes `text` to `path` as a new plain file, replacing whatever file or link held the name
// and never writing through a link. Returns 0 or the Windows error.
unsigned long write_report(const std::wstring& path, const std::string& text);
