// Owns a kernel handle and closes it at the end of its scope.
#pragma once

#include <windows.h>

#include <utility>

namespace replay {

class scoped_handle {
 public:
  scoped_handle() = default;
  explicit scoped_handle(HANDLE handle) : m_handle(handle) {}
  scoped_handle(scoped_handle&& other) noexcept : m_handle(other.release()) {}
  scoped_handle& operator=(scoped_handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  scoped_handle(const scoped_handle&) = delete;
  scoped_handle& operator=(const scoped_handle&) = delete;
  ~scoped_handle() { reset(); }

  // Null and INVALID_HANDLE_VALUE both count as no handle.
  bool is_valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return m_handle; }

  void reset(HANDLE handle = nullptr) {
    if (is_valid()) CloseHandle(m_handle);
    m_handle = handle;
  }
  HANDLE release() { return std::exchange(m_handle, nullptr); }

 private:
  HANDLE m_handle = nullptr;
};

}  // namespace replay
