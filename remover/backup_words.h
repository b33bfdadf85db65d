// The leading word of Purgeline's command line that asks for a backup or a restore. It stands
// before the brand, suite and service names, which follow it after a blank as they always do:
//   /backup               back up what the run changes into a new folder named by date and time
//   /backup:<folder>      back up into <folder>
//   /restore:<folder>     put back what the backup in <folder> holds; nothing else runs
// A folder with blanks is given in quotes: /backup:"C:\Backups\run 1" Acme Suite Svc.exe. The
// folder of /restore is the whole rest of the line (quotes around it dropped).
#pragma once

#include <string>

struct backup_request {
  enum class mode { none, backup, restore };
  mode what = mode::none;
  std::string folder;  // empty: the default place
};

// Takes the backup or restore word off the start of `command_line` into `request` and returns
// the rest of the line (after the blank that follows the word). A line that does not start with
// one is returned unchanged.
std::string take_backup_word(const std::string& command_line, backup_request& request);
