// Owners of Win32 handles: each closes its handle when it goes out of scope. One owner type per
// handle kind, so that a service handle can never be passed where a kernel handle is expected:
//   scoped_handle          kernel object handle (process, thread, event, file); null and
//                          INVALID_HANDLE_VALUE both count as no handle (CreateFile fails with
//                          the latter)
//   scoped_token           access token (OpenProcessToken / OpenThreadToken)
//   scoped_snapshot        Tool Help snapshot; INVALID_HANDLE_VALUE when empty
//   scoped_service_handle  service manager or service handle (SC_HANDLE)
//   find_handle            FindFirstFile search; INVALID_HANDLE_VALUE when empty
//   unique_module          loaded module (LoadLibrary), freed with FreeLibrary
//   unique_hkey            open registry key, closed with RegCloseKey
//
//   replay::unique_hkey key;
//   if (RegOpenKeyExW(root, path, 0, KEY_READ, key.receive()) == ERROR_SUCCESS) use(key.get());
#pragma once

#include <windows.h>

#include <utility>

namespace replay {
namespace handle_traits {

// Each kind names its handle type, the value an empty owner holds, which values are handles
// at all, and how one is closed.

// Kinds whose open call fails with null.
template <typename T>
struct null_when_empty {
  using type = T;
  static constexpr type invalid() { return nullptr; }
  static bool is_valid(type value) { return value != nullptr; }
};

// Kinds whose open call fails with INVALID_HANDLE_VALUE.
struct invalid_value_when_empty {
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  static bool is_valid(type value) { return value != INVALID_HANDLE_VALUE; }
};

struct kernel : null_when_empty<HANDLE> {
  static bool is_valid(type value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static void close(type value) { ::CloseHandle(value); }
};

// A token is a kernel handle too; its own traits keep its owner a distinct type.
struct token : kernel {};

struct snapshot : invalid_value_when_empty {
  static void close(type value) { ::CloseHandle(value); }
};

struct service : null_when_empty<SC_HANDLE> {
  static void close(type value) { ::CloseServiceHandle(value); }
};

struct find : invalid_value_when_empty {
  static void close(type value) { ::FindClose(value); }
};

struct loaded_module : null_when_empty<HMODULE> {
  static void close(type value) { ::FreeLibrary(value); }
};

// Every non-null key is closed; predefined root keys are not singled out.
struct registry_key : null_when_empty<HKEY> {
  static void close(type value) { ::RegCloseKey(value); }
};

}  // namespace handle_traits

// Holds one handle of the kind that Traits describes; move-only.
template <typename Traits>
class unique_handle {
 public:
  using type = typename Traits::type;

  // Constant-initialised where the kind's empty value allows it, so that a process-wide owner
  // is empty before any code runs.
  constexpr unique_handle() noexcept : m_value(Traits::invalid()) {}
  explicit unique_handle(type value) noexcept : m_value(value) {}
  unique_handle(unique_handle&& other) noexcept : m_value(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  ~unique_handle() { reset(); }

  bool is_valid() const noexcept { return Traits::is_valid(m_value); }
  explicit operator bool() const noexcept { return is_valid(); }
  type get() const noexcept { return m_value; }

  // Closes the held handle (if any) and takes `value`.
  void reset(type value = Traits::invalid()) noexcept {
    const type old = std::exchange(m_value, value);
    if (Traits::is_valid(old)) Traits::close(old);
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
using find_handle = unique_handle<handle_traits::find>;
using unique_module = unique_handle<handle_traits::loaded_module>;
using unique_hkey = unique_handle<handle_traits::registry_key>;

}  // namespace replay
