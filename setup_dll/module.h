// What Setupmate.dll sets up when it is loaded: its two names from the string table, its
// folders and its module log (Installer.log.txt in the common component folder's Logs folder,
// joined to the process-wide log so that every log_info / log_error line of the DLL reaches it
// as "[<process id>] <text>").
#pragma once

#include <windows.h>

#include <string>

struct module_names {
  std::wstring company;    // string 2001, "Ravelins"
  std::wstring component;  // string 2002, "RediroZiredodOravez"
  // Folders, each ending in "\"; empty when the load step that computes them failed.
  std::wstring common_root;       // CSIDL_COMMON_APPDATA
  std::wstring user_root;         // CSIDL_APPDATA, else the common root
  std::wstring common_component;  // common root + company\component\ .
  std::wstring user_component;    // user root + company\component\ .
};

// The names and folders of the loaded DLL.
const module_names& module();

// DLL_PROCESS_ATTACH: loads the names, computes the folders and opens the module log. Never
// throws; a failed step leaves what follows it empty and the DLL without a module log.
void module_attach(HINSTANCE instance);
// Closes the module log (if open): the process-wide log is shut down with it, so later lines
// reach no file. Used at DLL_PROCESS_DETACH and before the log folder is deleted.
void close_module_log();
