// The frame of a report-only run: the planning layer set for the whole pass, the mark on the
// log's first line, and the report written at the end.
#pragma once

#include <memory>
#include <string>

#include "remover/command_line.h"
#include "replay/change/change_layer.h"
#include "replay/change/planned_changes.h"

// The log's first line for every mode: the version line, and in a report-only run its mark
// ("... report-only run: nothing is changed").
std::string first_log_line(bool report_only);

class report_run {
 public:
  // With `report_only`, every change from here on is only planned, until the object goes.
  explicit report_run(bool report_only);

  bool report_only() const { return m_scope != nullptr; }

  // first_log_line() of this run.
  std::string first_log_line() const { return ::first_log_line(report_only()); }

  // In a report-only run, writes the report of every planned change and logs where it went.
  // `backup` is the line that names where a real run would save its backup (empty: none asked).
  // False when the report cannot be written (logged).
  bool finish(const run_settings& settings, const std::string& backup = std::string()) const;

 private:
  replay::planned_changes m_plan;
  std::unique_ptr<replay::changes_scope> m_scope;
  std::string m_started;
};
