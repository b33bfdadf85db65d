#include "testing/process_list.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <functional>

#include "replay/unique_handle.h"

namespace test_support {
namespace {

// Calls `found` with the id of each process of that image name.
void each_process(const std::wstring& exe_name, const std::function<void(DWORD)>& found) {
  const replay::scoped_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, exe_name.c_str()) == 0) found(entry.th32ProcessID);
  }
}

}  // namespace

bool process_running(const std::wstring& exe_name) {
  bool running = false;
  each_process(exe_name, [&](DWORD) { running = true; });
  return running;
}

void end_processes(const std::wstring& exe_name) {
  each_process(exe_name, [](DWORD id) {
    const replay::scoped_handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (process) TerminateProcess(process.get(), 1);
  });
}

}  // namespace test_support
