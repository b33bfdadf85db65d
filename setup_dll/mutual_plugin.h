// The shared mail-client plug-in "Rediro Ziredod oravez" and the products that use it.
#pragma once

// The number of products listed under the plug-in's "Registered Plugins" key (below
// HKEY_CURRENT_USER, Software, company, component); 0 when that key (or a parent) does not
// exist. Any other failure to read it returns -1 (logged): the plug-in is then taken as still
// in use. Never throws.
int count_products();
