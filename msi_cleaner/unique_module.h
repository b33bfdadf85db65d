// Sole owner of a module loaded with LoadLibraryA; frees it with FreeLibrary.
#pragma once

#include <windows.h>

#include <utility>

class unique_module {
 public:
  unique_module() = default;
  explicit unique_module(HMODULE module) : m_module(module) {}
  unique_module(unique_module&& other) noexcept : m_module(other.release()) {}
  unique_module& operator=(unique_module&& other) noexcept {
    reset(other.release());
    return *this;
  }
  unique_module(const unique_module&) = delete;
  unique_module& operator=(const unique_module&) = delete;
  ~unique_module() { reset(); }

  HMODULE get() const { return m_module; }

  void reset(HMODULE module = nullptr) {
    HMODULE old = std::exchange(m_module, module);
    if (old != nullptr) FreeLibrary(old);
  }
  HMODULE release() { return std::exchange(m_module, nullptr); }

 private:
  HMODULE m_module = nullptr;
};

// The exported function `name` of `module` as a function pointer of type F, or null.
template <typename F>
F module_function(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
