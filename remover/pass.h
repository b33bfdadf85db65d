// The clean-up pass that Purgeline runs from start to end.
#pragma once

#include <string>

#include "remover/command_line.h"

// What the pass is given: the names from the command line, and what it reads before the log opens.
struct pass_settings {
  run_settings names;           // brand, suite and service names
  bool names_given = false;     // the command line named them: the pass logs them
  std::string start_menu_name;  // the product's DisplayName, each UTF-16 unit's low byte; empty
                                // when the Uninstall entry or the value is missing
};

// The pass's settings for `names`. Reads, before the log opens as the pass always has, the
// DisplayName that names the product's Start-menu folders, and binds RegDeleteKeyExW for the
// installer pass.
pass_settings prepare_cleanup_pass(const run_settings& names, bool names_given);

// Runs every step of the pass, in order, with the log open. Each step is guarded, so that the
// pass always runs to its end.
void run_cleanup_pass(const pass_settings& settings);
