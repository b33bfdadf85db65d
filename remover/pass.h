// The clean-up pass that Purgeline runs from start to end.
#pragma once

#include <string>

#include "remover/command_line.h"
#include "remover/removed_folders.h"
#include "remover/uninstall_record.h"

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

// The pass's first step: the product's Uninstall entries searched (and logged), its install
// location the default brand's folder below Program Files when they give none.
product_uninstall_record find_product();

// The folders the pass removes for the product `record` describes: the brand's and the
// Dizavad's folders below Program Files (the product's folder is in the brand's), the install
// location, the product's and the Dizavad's application-data folders, and the Dizavad's folders
// in every profile (its roaming data, its VirtualStore).
removed_folders folders_the_pass_removes(const pass_settings& settings,
                                         const product_uninstall_record& record);

// Runs every step of the pass, in order, with the log open. Each step is guarded, so that the
// pass always runs to its end. The first form finds the product first (find_product()).
void run_cleanup_pass(const pass_settings& settings);
void run_cleanup_pass(const pass_settings& settings, product_uninstall_record record);
