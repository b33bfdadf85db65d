#include "backup/reg_export.h"

#include <vector>

#include "backup/key_place.h"
#include "replay/unique_handle.h"

namespace replay {
namespace backup {
namespace {

constexpr DWORD kExportBound = 120000;  // ms

std::wstring windows_folder() {
  wchar_t folder[MAX_PATH] = L"";
  const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : L"C:\\Windows";
}

bool is_file(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring reg_program() {
  const std::wstring windows = windows_folder();
  if (sizeof(void*) == 4 && windows_is_64_bit()) {
    const std::wstring native = windows + L"\\Sysnative\\reg.exe";
    if (is_file(native)) return native;
  }
  return windows + L"\\System32\\reg.exe";
}

DWORD export_key_tree(const std::wstring& key, registry_view view, const std::wstring& file) {
  if (key.find(L'"') != std::wstring::npos || key.empty() || key.back() == L'\\') {
    return ERROR_INVALID_NAME;
  }
  const std::wstring program = reg_program();
  std::wstring line =
      L"\"" + program + L"\" export \"" + key + L"\" \"" + file + L"\" /y " + reg_view_switch(view);
  std::vector<wchar_t> writable(line.begin(), line.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &started)) {
    return GetLastError();
  }
  const scoped_handle process(started.hProcess);
  const scoped_handle thread(started.hThread);
  if (WaitForSingleObject(process.get(), kExportBound) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    return ERROR_TIMEOUT;
  }
  DWORD code = 1;
  if (!GetExitCodeProcess(process.get(), &code) || code != 0 || !is_file(file)) {
    return ERROR_FUNCTION_FAILED;
  }
  return 0;
}

}  // namespace backup
}  // namespace replay
