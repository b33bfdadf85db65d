#include "testing/child_process.h"

namespace test_support {

child_process::child_process(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command = L"\"" + program + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return;
  }
  const replay::scoped_handle thread(info.hThread);  // not needed
  m_process.reset(info.hProcess);
  m_id = info.dwProcessId;
}

child_process::~child_process() {
  if (started() && !wait(0)) {
    TerminateProcess(m_process.get(), 254);
    wait(5000);
  }
}

bool child_process::wait(DWORD milliseconds) const {
  return WaitForSingleObject(m_process.get(), milliseconds) == WAIT_OBJECT_0;
}

DWORD child_process::exit_code() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(m_process.get(), &code);
  return code;
}

DWORD child_process::wait_for_exit(DWORD milliseconds) const {
  return wait(milliseconds) ? exit_code() : STILL_ACTIVE;
}

DWORD run_msiexec(const std::wstring& arguments, DWORD* start_error) {
  std::wstring command = L"msiexec.exe " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    *start_error = GetLastError();
    return kMsiexecNotStarted;
  }
  const replay::scoped_handle process(started.hProcess);
  const replay::scoped_handle thread(started.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = kMsiexecNotStarted;
  GetExitCodeProcess(process.get(), &exit_code);
  return exit_code;
}

std::wstring quote_arguments(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const std::wstring& argument : arguments) {
    line += (line.empty() ? L"\"" : L" \"") + argument + L"\"";
  }
  return line;
}

}  // namespace test_support
