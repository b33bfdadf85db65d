#include "msi_cleaner/wow64_process.h"

#include <windows.h>

bool is_wow64_process() {
  using is_wow64_process_function = BOOL(WINAPI*)(HANDLE, BOOL*);
  HMODULE kernel = GetModuleHandleA("kernel32");
  if (kernel == nullptr) return false;
  auto function = reinterpret_cast<is_wow64_process_function>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
  if (function == nullptr) return false;
  BOOL wow64 = FALSE;
  return function(GetCurrentProcess(), &wow64) && wow64;
}
