// Test support: runs a helper program from the folder of the running test program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "replay/unique_handle.h"

namespace replay {
namespace testing {

inline std::string program_folder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\') + 1);
}

// Starts program (a file name beside the test program) with the arguments, each quoted.
inline scoped_handle start_helper(const std::string& program,
                                  const std::vector<std::string>& arguments) {
  const std::string path = program_folder() + program;
  std::string command = "\"" + path + "\"";
  for (const auto& argument : arguments) command += " \"" + argument + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return scoped_handle();
  }
  CloseHandle(process.hThread);
  return scoped_handle(process.hProcess);
}

// The exit code, or STILL_ACTIVE when the process has not ended within the time.
inline DWORD wait_for_exit(const scoped_handle& process, DWORD milliseconds = 60000) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.get(), &code);
  }
  return code;
}

}  // namespace testing
}  // namespace replay
