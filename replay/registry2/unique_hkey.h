// Sole owner of one open registry handle; closes it with RegCloseKey. Movable, not copyable.
#pragma once

#include <windows.h>

#include <utility>

namespace replay {
namespace registry2 {

class unique_hkey {
 public:
  unique_hkey() = default;
  explicit unique_hkey(HKEY handle) : m_handle(handle) {}
  unique_hkey(unique_hkey&& other) noexcept : m_handle(other.release()) {}
  unique_hkey& operator=(unique_hkey&& other) noexcept {
    reset(other.release());
    return *this;
  }
  unique_hkey(const unique_hkey&) = delete;
  unique_hkey& operator=(const unique_hkey&) = delete;
  ~unique_hkey() { reset(); }

  HKEY get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }

  // Closes the handle held and takes ownership of `handle`.
  void reset(HKEY handle = nullptr) {
    HKEY old = std::exchange(m_handle, handle);
    if (old != nullptr) RegCloseKey(old);
  }
  // Gives up ownership without closing.
  HKEY release() { return std::exchange(m_handle, nullptr); }
  // Closes the handle held and returns the slot for an API call that hands out a new one.
  HKEY* receive() {
    reset();
    return &m_handle;
  }

 private:
  HKEY m_handle = nullptr;
};

}  // namespace registry2
}  // namespace replay
