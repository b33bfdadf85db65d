#include "cleanup/processes.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cwchar>
#include <functional>
#include <map>

#include "cleanup/image_name.h"
#include "cleanup/privilege_scope.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/unique_handle.h"

namespace {

// Exit code given to the processes this module ends.
constexpr UINT kKilledExitCode = 255;
// Windows 2000 reports image names of at most this many characters.
constexpr size_t kWindows2000NameLength = 15;

// Calls `visit` for each entry of a fresh process snapshot until it returns false. A process
// that the run has already ended (planned, in a report-only run) is no longer there.
void for_each_process(const std::function<bool(const PROCESSENTRY32&)>& visit) {
  replay::scoped_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    if (replay::changes().ended_process(entry.th32ProcessID)) continue;
    if (!visit(entry)) return;
  }
}

replay::scoped_handle open_for_termination(DWORD process_id) {
  return replay::scoped_handle(OpenProcess(PROCESS_TERMINATE, FALSE, process_id));
}

// Ends the process, retrying a refused open with the debug privilege. 0 or the Windows error.
DWORD terminate_process(DWORD process_id) {
  replay::scoped_handle process = open_for_termination(process_id);
  if (!process) {
    privilege_scope debug_privilege;
    process = open_for_termination(process_id);
  }
  if (!process) return GetLastError();
  return TerminateProcess(process.get(), kKilledExitCode) ? 0 : GetLastError();
}

// Ends one process through the change layer. Silent on failure.
void end_process(DWORD process_id, const std::string& image_name) {
  replay::change c;
  c.kind = replay::change_kind::end_process;
  c.where = wide_system_name(image_name);
  wchar_t detail[32];
  swprintf(detail, 32, L"process id %lu", static_cast<unsigned long>(process_id));
  c.detail = detail;
  try {
    replay::changes().make(c, [process_id] { return terminate_process(process_id); });
  } catch (...) {
    // Nothing of this clean-up reaches the caller; the process is left running.
  }
}

bool is_windows_2000() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return false;
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 5 &&
         version.dwMinorVersion == 0;
}

// The name as the system's snapshots show it: Windows 2000 cuts image names to 15 characters.
std::string snapshot_name(const std::string& name) {
  if (is_windows_2000() && name.size() > kWindows2000NameLength) {
    return name.substr(0, kWindows2000NameLength);
  }
  return name;
}

}  // namespace

bool is_process_running(const std::string& name) {
  bool found = false;
  for_each_process([&](const PROCESSENTRY32& entry) {
    found = image_name_matches(std::string(entry.szExeFile), name);
    return !found;
  });
  return found;
}

void kill_processes_by_name(const std::string& name) {
  const DWORD own_id = GetCurrentProcessId();
  DWORD parent_id = 0;
  std::map<DWORD, std::string> targets;  // process id -> image name, in ascending id order
  for_each_process([&](const PROCESSENTRY32& entry) {
    if (entry.th32ProcessID == own_id) {
      parent_id = entry.th32ParentProcessID;
    } else if (image_name_matches(std::string(entry.szExeFile), name)) {
      targets[entry.th32ProcessID] = entry.szExeFile;
    }
    return true;
  });
  for (const auto& target : targets) {
    if (target.first != parent_id) end_process(target.first, target.second);
  }
}

void close_process(const std::string& name) {
  const std::string search_name = snapshot_name(name);
  replay::log_info("Dealing with '%s' process ....", name.c_str());
  if (is_process_running(search_name)) {
    replay::log_info("Process with name '%s' is running, let us close it", search_name.c_str());
    kill_processes_by_name(search_name);
  } else {
    replay::log_info("Process with name '%s' is NOT running ...", search_name.c_str());
  }
}
