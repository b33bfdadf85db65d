// Entry of Setupmate.dll: the module is set up when the installer loads the DLL and its log is
// closed when the DLL is unloaded. DllMain returns TRUE in every case.
#include <windows.h>

#include "setup_dll/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    module_attach(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    close_module_log();
  }
  return TRUE;
}
