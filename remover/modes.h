// Purgeline's modes. Each runs with the log open, owns what its mode needs, and returns the
// process exit code. The restore is run_restore (backup_session.h).
#pragma once

#include "remover/backup_words.h"
#include "remover/pass.h"

// The clean-up pass, saving what it changes when `backup` asks for a backup. 1 when the backup
// cannot be made (a backup folder inside a folder the pass removes among the reasons): then
// nothing is removed. 0 otherwise.
int run_real_pass(const backup_request& backup, const pass_settings& pass);

class backup_session;
// The same with the backup made by `backup_of_run` (which must not have started yet).
int run_real_pass(const backup_request& backup, const pass_settings& pass,
                  backup_session& backup_of_run);

// The pass with every change only planned, and the report of the planned changes written at
// the end. A backup that `backup` asks for is named, not made. 0, or 1 when the report cannot be
// written.
int run_report_only_pass(const backup_request& backup, const pass_settings& pass);

// A restore asked for in a report-only run: it would change the machine, so it does not run and
// the log says why. Always 1.
int refuse_restore_in_report_only_run();
