// Owners of Win32 handles: each closes its handle when it goes out of scope. One owner type per
// handle kind, so that a service handle can never be passed where a kernel handle is expected:
//   scoped_handle          kernel object handle (process, thread, event); null when empty
//   scoped_token           access token (OpenProcessToken / OpenThreadToken)
//   scoped_snapshot        Tool Help snapshot; INVALID_HANDLE_VALUE when empty
//   scoped_service_handle  service manager or service handle (SC_HANDLE)
#pragma once

#include <windows.h>

#include <utility>

namespace handle_traits {

struct kernel {
  using type = HANDLE;
  static type invalid() { return nullptr; }
  static void close(type value) { ::CloseHandle(value); }
};

// A token is a kernel handle too; its own traits keep its owner a distinct type.
struct token : kernel {};

struct snapshot {
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  static void close(type value) { ::CloseHandle(value); }
};

struct service {
  using type = SC_HANDLE;
  static type invalid() { return nullptr; }
  static void close(type value) { ::CloseServiceHandle(value); }
};

}  // namespace handle_traits

// Holds one handle of the kind that Traits describes; move-only.
template <typename Traits>
class unique_handle {
 public:
  using type = typename Traits::type;

  unique_handle() noexcept : m_value(Traits::invalid()) {}
  explicit unique_handle(type value) noexcept : m_value(value) {}
  unique_handle(unique_handle&& other) noexcept : m_value(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  ~unique_handle() { reset(); }

  bool is_valid() const noexcept { return m_value != Traits::invalid(); }
  explicit operator bool() const noexcept { return is_valid(); }
  type get() const noexcept { return m_value; }

  // Closes the held handle (if any) and takes `value`.
  void reset(type value = Traits::invalid()) noexcept {
    if (is_valid()) Traits::close(m_value);
    m_value = value;
  }
  // Gives the handle up without closing it.
  type release() noexcept { return std::exchange(m_value, Traits::invalid()); }
  // Closes the held handle and returns the slot, for APIs that hand a handle out through a
  // pointer argument.
  type* receive() noexcept {
    reset();
    return &m_value;
  }

 private:
  type m_value;
};

using scoped_handle = unique_handle<handle_traits::kernel>;
using scoped_token = unique_handle<handle_traits::token>;
using scoped_snapshot = unique_handle<handle_traits::snapshot>;
using scoped_service_handle = unique_handle<handle_traits::service>;
