// Test support: helper programs beside the test, scratch folders and child processes.
#pragma once

#include <windows.h>

#include <string>

#include "replay/unique_handle.h"

// Full path of helper program `name` (without ".exe") in the test's own folder.
std::wstring helper_program(const std::wstring& name);

// A new, empty folder under the temporary folder, removed with its files at the end.
class scratch_folder {
 public:
  scratch_folder();
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  // The folder, without a trailing backslash.
  const std::wstring& path() const { return m_path; }
  // Copies helper program `helper` into subfolder `subfolder` (created when missing) as
  // `file_name`; returns the copy's path.
  std::wstring place(const std::wstring& helper, const std::wstring& subfolder,
                     const std::wstring& file_name) const;

 private:
  std::wstring m_path;
};

// A started program; ended (exit code 254) when the object goes while it still runs.
class child_process {
 public:
  child_process(const std::wstring& program, const std::wstring& arguments);
  ~child_process();
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return m_process.is_valid(); }
  DWORD id() const { return m_id; }
  // True when it ended within `milliseconds`.
  bool wait(DWORD milliseconds) const;
  // Its exit code (STILL_ACTIVE while it runs).
  DWORD exit_code() const;

 private:
  replay::scoped_handle m_process;
  DWORD m_id = 0;
};

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
