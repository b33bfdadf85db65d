#include "cleanup/launch.h"

#include <windows.h>

#include <shellapi.h>

#include "replay/log/log.h"
#include "replay/unique_handle.h"

namespace {

// The result for every failure of the launch itself.
constexpr std::uint32_t kLaunchFailed = 1;

// How long a started program may run before it is ended.
constexpr DWORD kDefaultWaitBound = 120 * 1000;
DWORD g_wait_bound = kDefaultWaitBound;

const wchar_t* null_if_empty(const std::wstring& text) {
  return text.empty() ? nullptr : text.c_str();
}

// Starts the program hidden, without any system UI. `process` receives the process handle.
bool start_hidden(const std::wstring& program, const std::wstring& parameters,
                  const std::wstring& folder, replay::scoped_handle* process) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = null_if_empty(parameters);
  info.lpDirectory = null_if_empty(folder);
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) {
    replay::log_info("ShellExecuteEx failed. Error: %d", static_cast<int>(GetLastError()));
    return false;
  }
  // Without a handle (the file went to a program already running) the wait below fails.
  process->reset(info.hProcess);
  return true;
}

std::uint32_t wait_for_exit_code(const replay::scoped_handle& process) {
  const DWORD wait = wait_for_program(process.get());
  if (wait == WAIT_FAILED) {
    replay::log_info("WaitForSingleObject failed. Error: %d", static_cast<int>(GetLastError()));
    return kLaunchFailed;
  }
  if (wait != WAIT_OBJECT_0) return kLaunchFailed;
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(process.get(), &exit_code)) {
    replay::log_info("GetExitCodeProcess failed. Error: %d", static_cast<int>(GetLastError()));
    return kLaunchFailed;
  }
  replay::log_info("exit_code: %d", static_cast<int>(exit_code));
  return exit_code;
}

}  // namespace

DWORD wait_for_program(HANDLE process) {
  const DWORD wait = WaitForSingleObject(process, g_wait_bound);
  if (wait != WAIT_TIMEOUT) return wait;
  // A program that hangs would hold up the whole run: it is ended and counts as failed.
  TerminateProcess(process, kLaunchFailed);
  WaitForSingleObject(process, 5000);
  replay::log_info("The program did not end within %u seconds: it was ended",
                   static_cast<unsigned>((g_wait_bound + 999) / 1000));
  return WAIT_TIMEOUT;
}

void set_program_wait_bound(DWORD milliseconds) {
  g_wait_bound = milliseconds;
}

std::uint32_t launch_and_wait_for_exit_code(const std::wstring& program,
                                            const std::wstring& parameters,
                                            const std::wstring& folder) {
  try {
    replay::log_info(L"launch_and_wait_for_exit_code: \"%ls\" %ls", program.c_str(),
                     parameters.c_str());
    replay::scoped_handle process;
    if (!start_hidden(program, parameters, folder, &process)) return kLaunchFailed;
    return wait_for_exit_code(process);
  } catch (...) {
    return kLaunchFailed;
  }
}
