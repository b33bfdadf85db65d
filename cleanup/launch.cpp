#include "cleanup/launch.h"

#include <windows.h>

#include <shellapi.h>

#include "replay/log/log.h"
#include "replay/unique_handle.h"

namespace {

// The result for every failure of the launch itself.
constexpr std::uint32_t kLaunchFailed = 1;

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
  const DWORD wait = WaitForSingleObject(process.get(), INFINITE);
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
