// Programs a test starts, and waiting for a condition.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "replay/unique_handle.h"

namespace test_support {

// A started program; ended (exit code 254) when the object goes while it still runs.
class child_process {
 public:
  // Runs `program` with the command line `"program" arguments` (just `"program"` when there are
  // no arguments).
  child_process(const std::wstring& program, const std::wstring& arguments);
  ~child_process();
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return m_process.is_valid(); }
  DWORD id() const { return m_id; }
  HANDLE handle() const { return m_process.get(); }
  // True when it ended within `milliseconds`.
  bool wait(DWORD milliseconds) const;
  // Its exit code (STILL_ACTIVE while it runs).
  DWORD exit_code() const;
  // Waits up to `milliseconds`; the exit code, or STILL_ACTIVE when it still runs.
  DWORD wait_for_exit(DWORD milliseconds = 60000) const;

 private:
  replay::scoped_handle m_process;
  DWORD m_id = 0;
};

// Runs the prefix's msiexec (found on the search path) with `arguments` and waits for it; its
// exit code, or kMsiexecNotStarted when it could not be started (`*start_error` receives why).
constexpr DWORD kMsiexecNotStarted = static_cast<DWORD>(-1);
DWORD run_msiexec(const std::wstring& arguments, DWORD* start_error);

// The arguments each in double quotes, separated by blanks.
std::wstring quote_arguments(const std::vector<std::wstring>& arguments);

// Waits up to `milliseconds` for `condition` to become true, polling every 50 ms.
template <typename Condition>
bool eventually(Condition condition, DWORD milliseconds = 10000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(50);
  }
  return true;
}

}  // namespace test_support
