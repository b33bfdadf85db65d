// The run-time binding of RegDeleteKeyExW, which deletes a key in a chosen registry view. The
// function is missing on old systems, so it is looked up in "ADVAPI32.DLL" when the program starts
// and kept, with the module, in two process-wide variables.
//
//   bind_reg_delete_key_ex();              // once, before the run sequence
//   ...
//   clean_installer_database_wow64(cleaner);  // uses the binding, then releases it
#pragma once

#include <windows.h>

using reg_delete_key_ex_function = LONG(WINAPI*)(HKEY key, const wchar_t* subkey, REGSAM sam,
                                                 DWORD reserved);

// Loads "ADVAPI32.DLL" (LoadLibraryA) and looks RegDeleteKeyExW up (GetProcAddress). A binding
// made before is released first.
void bind_reg_delete_key_ex();

// The bound function; null when it was not found, never bound or already released.
reg_delete_key_ex_function bound_reg_delete_key_ex();

// Frees the module loaded by bind_reg_delete_key_ex and forgets the function.
void release_reg_delete_key_ex();

// Test seam: while it lives, `function` stands in for the bound one (the module stays as it is),
// so that a test can stand in for a system without RegDeleteKeyExW (null) or observe the calls.
// When it ends (also when a failed assertion leaves the test early) a binding still holding the
// stand-in is released, as the pass releases it; the programs never make one.
class reg_delete_key_ex_for_tests {
 public:
  explicit reg_delete_key_ex_for_tests(reg_delete_key_ex_function function);
  ~reg_delete_key_ex_for_tests();
  reg_delete_key_ex_for_tests(const reg_delete_key_ex_for_tests&) = delete;
  reg_delete_key_ex_for_tests& operator=(const reg_delete_key_ex_for_tests&) = delete;

 private:
  reg_delete_key_ex_function m_function;
};
