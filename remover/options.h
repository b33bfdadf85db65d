// Purgeline's options: all that its command line says, read once when the run starts.
//   [/backup | /backup:<folder> | /restore:<folder>] [/report] [/backup | /backup:<folder>]
//   [<brand> [<suite>] [<service>]]
// The words are described in backup_words.h and command_line.h.
#pragma once

#include <string>

#include "remover/backup_words.h"
#include "remover/command_line.h"

// What the run does.
enum class run_mode {
  real_run,         // the clean-up pass, saving what it changes when a backup is asked for
  report_only,      // the pass planned and reported; a backup asked for is only named
  restore,          // the backup in the backup folder put back; the pass does not run
  refused_restore,  // a restore asked for in a report-only run: it would change the machine, so
                    // nothing runs
};

struct purgeline_options {
  run_mode mode = run_mode::real_run;
  backup_request backup;     // the backup or the restore asked for, with its folder
  bool names_given = false;  // the line names brand, suite and service: the pass logs them
  run_settings names;        // the defaults unless the line names them
};

// Whether the run's log and its report carry the report-only mark.
bool marked_report_only(run_mode mode);

// Reads the whole command line as Windows hands it to WinMain (the text after the program name).
purgeline_options read_options(const std::string& command_line);
