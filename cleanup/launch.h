// Runs an external program hidden and without any system UI, and waits for it to end.
#pragma once

#include <cstdint>
#include <string>

// Starts `program` (a path or a name the shell can find) with `parameters` in the working folder
// `folder` and waits, without a time limit, until it ends. Returns its exit code, or 1 when the
// program cannot be started or its exit code cannot be read. Logs each step; never throws.
std::uint32_t launch_and_wait_for_exit_code(const std::wstring& program,
                                            const std::wstring& parameters,
                                            const std::wstring& folder);
