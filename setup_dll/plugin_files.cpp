#include "setup_dll/plugin_files.h"

#include <windows.h>

#include <shellapi.h>

#include "cleanup/launch.h"
#include "cleanup/plain_name.h"
#include "replay/log/log.h"
#include "replay/registry2/key.h"
#include "replay/unique_handle.h"
#include "setup_dll/custom_action_data.h"
#include "setup_dll/system_program.h"

namespace {

enum class presence { absent, present, unknown };

// GetFileAttributesW, which never follows the last component. Only "not found" means absent:
// a check that fails otherwise (access denied, a name the file system refuses) tells nothing.
presence file_presence(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return presence::present;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return presence::absent;
  replay::log_error(L"Cannot tell whether '%ls' exists (%d): it and its SharedDLLs value are kept",
                    path.c_str(), static_cast<int>(error));
  return presence::unknown;
}

// Starts the system's regsvr32 with "/u /s" on `path` and waits for it; the exit code is only
// logged.
void unregister(const std::wstring& path) {
  const std::wstring parameters = L"/u /s \"" + path + L"\"";
  std::wstring program;
  try {
    program = system_program(L"regsvr32.exe");
  } catch (...) {
  }
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (program.empty() || !ShellExecuteExW(&info)) {
    replay::log_info("Error to run regsvr32");
    return;
  }
  replay::scoped_handle process(info.hProcess);
  DWORD exit_code = static_cast<DWORD>(-1);
  if (process.get() != nullptr && wait_for_program(process.get()) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.get(), &exit_code);
  }
  replay::log_info(L"Regsvr32 for %s completed (exit code: %d)", path.c_str(),
                   static_cast<int>(exit_code));
}

void delete_file(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileW(path.c_str())) {
    replay::log_info(L"   %ls removed", path.c_str());
  } else {
    const DWORD error = GetLastError();
    replay::log_info(L"FAILED TO remove '%ls': %d !", path.c_str(), static_cast<int>(error));
  }
}

void delete_shared_dll_value(const std::wstring& path) {
  replay::registry2::key root(HKEY_LOCAL_MACHINE);
  replay::registry2::key shared =
      root.open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", false);
  shared.delete_value(path);
}

// One file in one folder; any failure ends only this item, silently.
void remove_plugin_file(const std::wstring& path) {
  try {
    const presence state = file_presence(path);
    if (state == presence::unknown) return;
    if (state == presence::present) {
      unregister(path);
      delete_file(path);
    }
    delete_shared_dll_value(path);
  } catch (...) {
  }
}

bool is_letter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

bool is_absolute_path(const std::wstring& dir) {
  if (dir.size() >= 3 && is_letter(dir[0]) && dir[1] == L':' && dir[2] == L'\\') return true;
  return dir.size() > 2 && dir[0] == L'\\' && dir[1] == L'\\' && dir[2] != L'\\';
}

void remove_listed_files(const std::wstring& data) {
  const std::wstring dir = parameter(data, L"DIR");
  if (dir.empty()) {
    // File names alone would be taken relative to the installer's working folder.
    replay::log_info("DIR is not given: no file is removed");
    return;
  }
  if (!is_absolute_path(dir)) {
    // Relative to whatever the installer's working folder happens to be.
    replay::log_info(L"DIR '%ls' is not an absolute path: no file is removed", dir.c_str());
    return;
  }
  const std::wstring x64_dir = dir + L"x64\\";
  for (const std::wstring& name : split_list(parameter(data, L"FILES"))) {
    // A listed name is joined to DIR: "..\x.dll" or "C:\x.dll" would name a file elsewhere.
    if (!is_plain_name(name)) {
      replay::log_info(L"ATTENTION: '%ls' in FILES is not a plain file name: it is skipped",
                       printable(name).c_str());
      continue;
    }
    remove_plugin_file(dir + name);
    remove_plugin_file(x64_dir + name);
  }
  RemoveDirectoryW(x64_dir.c_str());
}
