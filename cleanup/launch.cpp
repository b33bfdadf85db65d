#include "cleanup/launch.h"

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/unique_handle.h"

namespace {

// The result for every failure of the launch itself.
constexpr std::uint32_t kLaunchFailed = 1;

// How long a started program may run before it is ended.
constexpr DWORD kDefaultWaitBound = 120 * 1000;
DWORD g_wait_bound = kDefaultWaitBound;
// How long the processes the programs left may take to end.
DWORD g_left_processes_bound = kDefaultLeftProcessesWaitBound;

const wchar_t* null_if_empty(const std::wstring& text) {
  return text.empty() ? nullptr : text.c_str();
}

// Starts the program hidden, without any system UI. `process` receives the process handle.
// Returns 0 or the Windows error of the start.
DWORD start_hidden(const std::wstring& program, const std::wstring& parameters,
                   const std::wstring& folder, replay::scoped_handle* process) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = null_if_empty(parameters);
  info.lpDirectory = null_if_empty(folder);
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    return error != 0 ? error : static_cast<DWORD>(ERROR_GEN_FAILURE);
  }
  // Without a handle (the file went to a program already running) the wait below fails.
  process->reset(info.hProcess);
  return 0;
}

// Starts the program through the change layer. False, logged, when it could not be started.
bool start_program(const replay::change& c, const std::wstring& parameters,
                   const std::wstring& folder, replay::scoped_handle* process) {
  const DWORD error =
      replay::changes().make(c, [&] { return start_hidden(c.where, parameters, folder, process); });
  if (error == 0) return true;
  replay::log_info("ShellExecuteEx failed. Error: %d", static_cast<int>(error));
  return false;
}

bool program_file_exists(const std::wstring& program) {
  const DWORD attributes = GetFileAttributesW(program.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         !replay::changes().removed_path(program);
}

// A report-only run starts no program: it plans the start and assumes the result. A program
// that exists is taken to do what it is asked and to succeed, so the run goes on as after a
// success (a service program asked to stop or uninstall its service is taken to have done so;
// what the program itself changes is not known and not listed). One that does not exist could
// not be started, which a real run sees as 1.
std::uint32_t assume_exit_code(replay::change c) {
  const bool exists = program_file_exists(c.where);
  const std::uint32_t assumed = exists ? 0 : kLaunchFailed;
  wchar_t because[256];
  swprintf(because, 256, L"assumed exit code %u: %ls", static_cast<unsigned>(assumed),
           exists ? L"the program exists and is taken to succeed at what it is asked; "
                    L"what it changes itself is not listed"
                  : L"the program does not exist, so it cannot be started");
  c.detail += c.detail.empty() ? L"" : L"; ";
  c.detail += because;
  replay::changes().make(c, [] { return static_cast<DWORD>(0); });
  replay::log_info(L"exit_code assumed: %u (%ls)", static_cast<unsigned>(assumed), because);
  return assumed;
}

// When `process` was created, or false when that cannot be read.
bool creation_time(HANDLE process, ULARGE_INTEGER* time) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  time->LowPart = created.dwLowDateTime;
  time->HighPart = created.dwHighDateTime;
  return true;
}

// The process `id` when it was started by `program`: its snapshot entry names the program as its
// parent and it began no earlier than the program. Our open handle on the program keeps its id
// from being given to another process, so no process of another account can pass for one of its
// children.
replay::scoped_handle open_if_child(DWORD id, const ULARGE_INTEGER& program_created) {
  replay::scoped_handle child(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  ULARGE_INTEGER created;
  if (!child || !creation_time(child.get(), &created) ||
      created.QuadPart < program_created.QuadPart) {
    return replay::scoped_handle();
  }
  return child;
}

// The processes `program` started that still run. Only its own children: what they started in
// turn (a desktop the console host opened, say) is not the program's doing.
std::vector<replay::scoped_handle> processes_started_by(HANDLE program) {
  std::vector<replay::scoped_handle> children;
  ULARGE_INTEGER program_created;
  const DWORD program_id = GetProcessId(program);
  if (program_id == 0 || !creation_time(program, &program_created)) return children;
  replay::scoped_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return children;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != program_id || entry.th32ProcessID == program_id) continue;
    replay::scoped_handle child = open_if_child(entry.th32ProcessID, program_created);
    if (child) children.push_back(std::move(child));
  }
  return children;
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

void left_processes::keep_children_of(HANDLE program) {
  for (replay::scoped_handle& child : processes_started_by(program)) {
    m_processes.push_back(std::move(child));
  }
}

void left_processes::wait_for_end() {
  if (m_processes.empty()) return;
  replay::log_info("Waiting for %u process(es) the started programs left to end",
                   static_cast<unsigned>(m_processes.size()));
  const ULONGLONG deadline = GetTickCount64() + g_left_processes_bound;
  unsigned still_running = 0;
  for (const replay::scoped_handle& process : m_processes) {
    const ULONGLONG now = GetTickCount64();
    const DWORD rest = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(process.get(), rest) != WAIT_OBJECT_0) ++still_running;
  }
  m_processes.clear();
  if (still_running == 0) return;
  replay::log_info(
      "%u process(es) the started programs left still run after %u seconds: they "
      "are left running",
      still_running, static_cast<unsigned>((g_left_processes_bound + 999) / 1000));
}

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

program_wait_bounds_for_tests::program_wait_bounds_for_tests(DWORD milliseconds,
                                                             DWORD left_processes_milliseconds)
    : m_previous(g_wait_bound), m_previous_left(g_left_processes_bound) {
  g_wait_bound = milliseconds;
  g_left_processes_bound = left_processes_milliseconds;
}

program_wait_bounds_for_tests::~program_wait_bounds_for_tests() {
  g_wait_bound = m_previous;
  g_left_processes_bound = m_previous_left;
}

std::uint32_t launch_and_wait_for_exit_code(const std::wstring& program,
                                            const std::wstring& parameters,
                                            const std::wstring& folder, left_processes* left) {
  try {
    replay::log_info(L"launch_and_wait_for_exit_code: \"%ls\" %ls", program.c_str(),
                     parameters.c_str());
    replay::change c;
    c.kind = replay::change_kind::run_program;
    c.where = program;
    c.detail = parameters;
    if (replay::changes().planning()) return assume_exit_code(c);
    replay::scoped_handle process;
    if (!start_program(c, parameters, folder, &process)) return kLaunchFailed;
    const std::uint32_t exit_code = wait_for_exit_code(process);
    if (left != nullptr && WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
      left->keep_children_of(process.get());
    }
    return exit_code;
  } catch (...) {
    return kLaunchFailed;
  }
}
