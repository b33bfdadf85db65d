#include "setup_dll/system_program.h"

#include <windows.h>

#include <vector>

#include "replay/exception/exception.h"

namespace {

bool is_wow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// GetSystemDirectoryW gives system32 under WOW64 too (file-system redirection then maps it),
// so a 32-bit process on 64-bit Windows names SysWOW64 itself.
std::wstring system_folder() {
  const bool wow64 = is_wow64();
  std::vector<wchar_t> folder(MAX_PATH);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const UINT size = static_cast<UINT>(folder.size());
    const UINT length = wow64 ? GetSystemWow64DirectoryW(folder.data(), size)
                              : GetSystemDirectoryW(folder.data(), size);
    if (length == 0) break;
    if (length < size) return std::wstring(folder.data(), length);
    folder.resize(length + 1);
  }
  throw replay::exception_w(L"The system folder cannot be found (%lu)", GetLastError());
}

}  // namespace

std::wstring system_program(const std::wstring& name) {
  return system_folder() + L"\\" + name;
}
