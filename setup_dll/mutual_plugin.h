// The shared mail-client plug-in "Rediro Ziredod oravez" and the products that use it.
#pragma once

// Whose products count.
enum class product_scope {
  // The current user's: for what belongs to that user (the HKEY_CURRENT_USER keys).
  current_user,
  // Also every user hive loaded under HKEY_USERS: for what belongs to the machine (files,
  // SharedDLLs values, the common and all profiles' data folders). Hives of users who are not
  // logged on are not loaded and so not seen.
  all_users,
};

// The number of products listed under the plug-in's "Registered Plugins" key (below
// HKEY_CURRENT_USER, Software, company, component); 0 when that key (or a parent) does not
// exist. With all_users and no product of the current user, the products listed in the same key
// of every hive under HKEY_USERS. Any other failure to read a list (or HKEY_USERS) returns -1
// (logged): the plug-in is then taken as still in use. Never throws.
int count_products(product_scope scope);
