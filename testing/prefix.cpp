#include "testing/prefix.h"

#include <shlobj.h>

namespace test_support {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring uninstall(const std::wstring& entry) {
  return std::wstring(kUninstall) + L"\\" + entry;
}

std::wstring shell_folder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return buffer;
}

std::wstring profiles_folder() {
  const std::wstring profile = shell_folder(CSIDL_PROFILE);
  return profile.substr(0, profile.rfind(L'\\'));
}

std::wstring program_folder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring text(path, length);
  return text.substr(0, text.rfind(L'\\') + 1);
}

std::wstring helper_program(const std::wstring& name) {
  return program_folder() + name + L".exe";
}

bool under_wow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace test_support
