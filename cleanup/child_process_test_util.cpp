#include "cleanup/child_process_test_util.h"

#include <shellapi.h>

std::wstring helper_program(const std::wstring& name) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + name + L".exe";
}

scratch_folder::scratch_folder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  static int count = 0;
  m_path = std::wstring(temp) + L"cvproc_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++count);
  CreateDirectoryW(m_path.c_str(), nullptr);
}

scratch_folder::~scratch_folder() {
  // SHFileOperation wants a list ending in two zeros.
  std::wstring from = m_path + L'\0';
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);
}

std::wstring scratch_folder::place(const std::wstring& helper, const std::wstring& subfolder,
                                   const std::wstring& file_name) const {
  const std::wstring folder = m_path + L"\\" + subfolder;
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring target = folder + L"\\" + file_name;
  CopyFileW(helper_program(helper).c_str(), target.c_str(), FALSE);
  return target;
}

child_process::child_process(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
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
  DWORD code = 0;
  GetExitCodeProcess(m_process.get(), &code);
  return code;
}
