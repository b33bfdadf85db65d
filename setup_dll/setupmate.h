// The custom actions of Setupmate.dll. Each export is called by Windows Installer with the
// session handle and returns a Windows Installer result code; nothing escapes any of them.
// The names are exported undecorated (setupmate.def.in) in both the 32-bit and 64-bit build.
#pragma once

#include <windows.h>

#include <msi.h>

extern "C" {

// Registers the COM DLL named by DLL= in CustomActionData with the system's regsvr32. A failed
// registration still counts when HKEY_CLASSES_ROOT\<HKCR_CHECK_SUBKEY=> exists. Returns
// ERROR_SUCCESS or ERROR_INSTALL_FAILURE (1603).
UINT __stdcall register_dll_wi(MSIHANDLE install);

// The shared mail-client plug-in, removed only when no product is listed under its
// "Registered Plugins" key. All three return ERROR_SUCCESS whatever happens.
//   files:   unregisters and deletes FILES= (found in DIR= and DIR=x64\) and their SharedDLLs
//   values logs:    deletes its data and log folders, in every user profile too regkeys: deletes
//   its HKEY_CURRENT_USER key and the company key when that is empty
UINT __stdcall remove_mutual_plugin_files(MSIHANDLE install);
UINT __stdcall remove_mutual_plugin_logs(MSIHANDLE install);
UINT __stdcall remove_mutual_plugin_regkeys(MSIHANDLE install);

}  // extern "C"
