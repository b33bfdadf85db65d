// Removes the product's Start-menu folders for all users and for the current user.
#pragma once

#include <string>

// Removes <Programs>\<brand>\<display name>, <Programs>\<display name> and <Programs>\<brand>
// when it has become empty, in the all-users and then the current user's Start menu. Removals
// whose name part is empty are skipped; so are those whose name part is not one plain folder
// name ("..", "a\b"), with an "ATTENTION: " line that names it. Never throws.
void remove_start_menu_shortcuts(const std::string& display_name, const std::string& brand_name);
