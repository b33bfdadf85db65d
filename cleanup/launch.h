// Runs an external program hidden and without any system UI, and waits for it to end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Starts `program` (a path or a name the shell can find) with `parameters` in the working folder
// `folder` and waits until it ends, at most the wait bound (below). Returns its exit code, or 1
// when the program cannot be started, does not end within the bound (it is then ended) or its
// exit code cannot be read. Logs each step; never throws.
//
// The start is a run_program change (replay/change): where = `program`, detail = `parameters`.
// A report-only run does not start the program: it assumes exit code 0 when the program file
// exists (it is taken to succeed at what it is asked) and 1 when it does not (it could not be
// started), adds "assumed exit code <n>: <why>" to the detail and logs
// "exit_code assumed: <n> (<why>)".
std::uint32_t launch_and_wait_for_exit_code(const std::wstring& program,
                                            const std::wstring& parameters,
                                            const std::wstring& folder);

// Waits for the started program `process` to end, at most the wait bound: 120 s. When the bound
// passes, ends the program, logs "The program did not end within %u seconds: it was ended" and
// returns WAIT_TIMEOUT; otherwise returns what WaitForSingleObject returned.
DWORD wait_for_program(HANDLE process);

// Test seam: sets the wait bound, so that tests of a program that never ends stay short. The
// programs themselves never call it.
void set_program_wait_bound(DWORD milliseconds);
