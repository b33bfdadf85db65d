// Looks an exported function up in a loaded module, typed.
#pragma once

#include <windows.h>

// The exported function `name` of `module` as a function pointer of type F, or null.
template <typename F>
F module_function(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
