// Runs an external program hidden and without any system UI, and waits for it to end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "replay/unique_handle.h"

// Starts `program` (a path or a name the shell can find) with `parameters` in the working folder
// `folder` and waits until it ends, at most the wait bound (below). Returns its exit code, or 1
// when the program cannot be started, does not end within the bound (it is then ended) or its
// exit code cannot be read. Logs each step; never throws.
//
// With `left`, the processes the program started that still run when it has ended are kept
// there (see left_processes), so that the caller can wait for them before it removes the
// working folder.
//
// The start is a run_program change (replay/change): where = `program`, detail = `parameters`.
// A report-only run does not start the program: it assumes exit code 0 when the program file
// exists (it is taken to succeed at what it is asked) and 1 when it does not (it could not be
// started), adds "assumed exit code <n>: <why>" to the detail and logs
// "exit_code assumed: <n> (<why>)".
class left_processes;
std::uint32_t launch_and_wait_for_exit_code(const std::wstring& program,
                                            const std::wstring& parameters,
                                            const std::wstring& folder,
                                            left_processes* left = nullptr);

// The processes that started programs left running when they ended. A console program started
// from a windowless one gets a console host, which takes the program's working folder as its
// own and keeps it in use until it has gone, a while after the program. Only a program's own
// children are kept: a process that began before it, or that one of them started (a desktop the
// console host opened), holds up nothing. Handles are held, so the processes' ids are not reused.
class left_processes {
 public:
  // Keeps the children of `program`, which has ended, that still run.
  void keep_children_of(HANDLE program);
  // Waits until the kept processes have ended, all of them together at most 30 s
  // (kDefaultLeftProcessesWaitBound), and forgets them. Logs "Waiting for %u process(es) the
  // started programs left to end" first, when there are any, and "%u process(es) the started
  // programs left still run after %u seconds: they are left running" when some outlast the bound.
  void wait_for_end();

 private:
  std::vector<replay::scoped_handle> m_processes;
};

// Waits for the started program `process` to end, at most the wait bound: 120 s. When the bound
// passes, ends the program, logs "The program did not end within %u seconds: it was ended" and
// returns WAIT_TIMEOUT; otherwise returns what WaitForSingleObject returned.
DWORD wait_for_program(HANDLE process);

// How long left_processes::wait_for_end waits at most.
constexpr DWORD kDefaultLeftProcessesWaitBound = 30 * 1000;

// Test seam: while it lives, the wait bounds are the ones given, so that tests of a program that
// never ends stay short; when it ends (also when a failed assertion leaves the test early), the
// bounds it replaced are back. The programs themselves never make one.
class program_wait_bounds_for_tests {
 public:
  explicit program_wait_bounds_for_tests(
      DWORD milliseconds, DWORD left_processes_milliseconds = kDefaultLeftProcessesWaitBound);
  ~program_wait_bounds_for_tests();
  program_wait_bounds_for_tests(const program_wait_bounds_for_tests&) = delete;
  program_wait_bounds_for_tests& operator=(const program_wait_bounds_for_tests&) = delete;

 private:
  DWORD m_previous;
  DWORD m_previous_left;
};
