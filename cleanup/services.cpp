#include "cleanup/services.h"

#include <windows.h>

#include "cleanup/image_name.h"
#include "cleanup/processes.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/registry2/key.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"

using replay::scoped_service_handle;

namespace {

// The whole stop, including any wait for a stop already under way, must end within this time.
constexpr DWORD kStopBudgetMs = 30000;
constexpr DWORD kPollIntervalMs = 1000;
constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services";

// A report-only run changes no service: it asks only for what it reads.
scoped_service_handle open_service_manager() {
  const DWORD access = replay::changes().planning() ? SC_MANAGER_CONNECT : SC_MANAGER_ALL_ACCESS;
  return scoped_service_handle(OpenSCManagerA(nullptr, nullptr, access));
}

DWORD service_access() {
  return replay::changes().planning() ? SERVICE_QUERY_STATUS
                                      : DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS;
}

replay::change service_change(replay::change_kind kind, const std::string& service) {
  replay::change c;
  c.kind = kind;
  c.where = wide_system_name(service);
  return c;
}

// One call of stop_and_delete_service: the open service, its last known status and the time
// budget. Once its stop is planned (a report-only run), the service counts as stopped.
class service_stop {
 public:
  service_stop(SC_HANDLE service, const std::string& name, DWORD start)
      : m_service(service), m_name(name), m_start(start) {}

  DWORD state() const { return m_status.dwCurrentState; }
  bool expired() const { return GetTickCount() - m_start > kStopBudgetMs; }

  // Refreshes the status; logs a failure.
  bool query() {
    if (replay::changes().stopped_service(wide_system_name(m_name))) {
      m_status.dwCurrentState = SERVICE_STOPPED;
      return true;
    }
    DWORD needed = 0;
    if (QueryServiceStatusEx(m_service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&m_status),
                             sizeof(m_status), &needed)) {
      return true;
    }
    replay::log_info("QueryServiceStatusEx failed, System Error Code = %d",
                     static_cast<int>(GetLastError()));
    return false;
  }

  // Sends the stop control through the change layer; the reply updates the status. Logs a
  // failure. The detail names the service's process, which ends with it: a report-only run then
  // judges that process's program as free.
  bool send_stop() {
    replay::change stop = service_change(replay::change_kind::stop_service, m_name);
    if (m_status.dwProcessId != 0) {
      stop.detail = L"process id " + std::to_wstring(m_status.dwProcessId);
    }
    const DWORD error = replay::changes().make(stop, [this]() -> DWORD {
      return ControlService(m_service, SERVICE_CONTROL_STOP,
                            reinterpret_cast<SERVICE_STATUS*>(&m_status))
                 ? 0
                 : GetLastError();
    });
    if (error == 0) {
      if (replay::changes().planning()) m_status.dwCurrentState = SERVICE_STOPPED;
      return true;
    }
    replay::log_info("ControlService failed, System Error Code = %d", static_cast<int>(error));
    return false;
  }

  // Deletes the service through the change layer and logs the outcome.
  bool remove() {
    const DWORD error = replay::changes().make(
        service_change(replay::change_kind::delete_service, m_name),
        [this]() -> DWORD { return DeleteService(m_service) ? 0 : GetLastError(); });
    if (error == 0) {
      replay::log_info("%s",
                       replay::would("Service deleted successfully", "Service would be deleted"));
      return true;
    }
    replay::log_info("DeleteService failed, System Error Code = %d", static_cast<int>(error));
    return false;
  }

 private:
  SC_HANDLE m_service;
  std::string m_name;
  DWORD m_start;
  SERVICE_STATUS_PROCESS m_status = {};
};

enum class stop_result { stopped, failed, still_running };

bool stop_pending(DWORD state) {
  return state == SERVICE_STOP_PENDING;
}

bool not_stopped(DWORD state) {
  return state != SERVICE_STOPPED;
}

// Polls the service's status once a second while `waiting(state)` holds, logging `each_poll`
// (when given) before each wait. stopped: the service stopped; failed: a query failed or the
// budget ran out (logging `timed_out`); still_running: the state left `waiting` without the
// service stopping.
stop_result poll_until_stopped(service_stop& stop, bool (*waiting)(DWORD), const char* each_poll,
                               const char* timed_out) {
  while (waiting(stop.state())) {
    if (each_poll) replay::log_info("%s", each_poll);
    Sleep(kPollIntervalMs);
    if (!stop.query()) return stop_result::failed;
    if (stop.state() == SERVICE_STOPPED) return stop_result::stopped;
    if (stop.expired()) {
      replay::log_info("%s", timed_out);
      return stop_result::failed;
    }
  }
  return stop.state() == SERVICE_STOPPED ? stop_result::stopped : stop_result::still_running;
}

// Waits while a stop requested earlier is under way. still_running: the service left the
// stop-pending state without stopping. A report-only run does not wait: it takes the stop under
// way as done.
stop_result wait_for_pending_stop(service_stop& stop) {
  if (stop.state() == SERVICE_STOP_PENDING && replay::changes().planning()) {
    replay::log_info("Service stop pending...");
    return stop_result::stopped;
  }
  return poll_until_stopped(stop, stop_pending, "Service stop pending...",
                            "Service stop timed out.");
}

// Sends the stop control and waits until the service has stopped.
stop_result request_stop(service_stop& stop) {
  if (!stop.send_stop()) return stop_result::failed;
  return poll_until_stopped(stop, not_stopped, nullptr, "Wait timed out");
}

// Brings the service to a stop and logs how it got there.
stop_result stop_service(service_stop& stop) {
  if (!stop.query()) return stop_result::failed;
  if (stop.state() == SERVICE_STOPPED) {
    replay::log_info("Service is already stopped.");
    return stop_result::stopped;
  }
  stop_result result = wait_for_pending_stop(stop);
  if (result == stop_result::still_running) result = request_stop(stop);
  if (result == stop_result::stopped) {
    replay::log_info("%s",
                     replay::would("Service stopped successfully.", "Service would be stopped."));
  }
  return result;
}

// Whether the ImagePath of one Services subkey starts `exe_name`; throws when the subkey has no
// ImagePath text.
bool starts_executable(const replay::registry2::key& service, const std::wstring& exe_name) {
  return image_path_matches(service.get_string(std::wstring(L"ImagePath")), exe_name);
}

replay::registry2::key open_services_key() {
  return replay::registry2::key(HKEY_LOCAL_MACHINE).open(kServicesKey, false);
}

// Display name of the service in subkey `name` when it starts `exe_name`; empty otherwise.
// Throws when the subkey cannot be read.
std::string display_name_if_starts(const replay::registry2::key& services, const std::wstring& name,
                                   const std::wstring& exe_name) {
  const replay::registry2::key service = services.open(name, false);
  if (!starts_executable(service, exe_name)) return std::string();
  const std::wstring display_name = service.get_string(std::wstring(L"DisplayName"));
  const std::string result = replay::to_narrow(display_name);
  if (result.empty()) return result;
  replay::log_info(L"Service found. Display Name: %ls", display_name.c_str());
  return result;
}

std::string find_display_name(const std::wstring& exe_name) {
  const replay::registry2::key services = open_services_key();
  for (const std::wstring& name : services.subkey_names()) {
    try {
      const std::string display_name = display_name_if_starts(services, name, exe_name);
      if (!display_name.empty()) return display_name;
    } catch (...) {
      // A subkey that cannot be read is not the one searched for.
    }
  }
  return std::string();
}

// Deletes the first Services subkey that starts `exe_name`; false when there is none.
bool delete_service_key(const std::wstring& exe_name) {
  replay::registry2::key services = open_services_key();
  for (const std::wstring& name : services.subkey_names()) {
    const replay::registry2::key service = services.open(name, false);
    try {
      if (!starts_executable(service, exe_name)) continue;
      services.delete_key(name, true);
      replay::log_info(replay::would("Service %s is killed", "Service %s would be killed"),
                       replay::to_narrow(name, CP_ACP, false).c_str());
      return true;
    } catch (...) {
      // No ImagePath, or the key could not be deleted: go on with the next service.
    }
  }
  return false;
}

}  // namespace

bool is_service_installed(const std::string& service) {
  if (replay::changes().deleted_service(wide_system_name(service))) return false;
  const scoped_service_handle manager = open_service_manager();
  if (!manager) return true;
  const scoped_service_handle handle(
      OpenServiceA(manager.get(), service.c_str(), SERVICE_QUERY_STATUS));
  return handle || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

bool stop_and_delete_service(const std::string& service, bool remove) {
  try {
    replay::log_info("Stop & Delete '%s' Service", service.c_str());
    const DWORD start = GetTickCount();
    const scoped_service_handle manager = open_service_manager();
    if (!manager) {
      replay::log_info("OpenSCManager failed, System Error Code = %d",
                       static_cast<int>(GetLastError()));
      return false;
    }
    // A service the run has deleted (or planned to delete) is no longer there.
    const bool deleted = replay::changes().deleted_service(wide_system_name(service));
    const scoped_service_handle handle(
        deleted ? nullptr : OpenServiceA(manager.get(), service.c_str(), service_access()));
    if (!handle) {
      const DWORD error = deleted ? ERROR_SERVICE_DOES_NOT_EXIST : GetLastError();
      replay::log_info("OpenService call failed, System Error Code = %d", static_cast<int>(error));
      return false;
    }
    service_stop stop(handle.get(), service, start);
    if (stop_service(stop) != stop_result::stopped) return false;
    return remove ? stop.remove() : true;
  } catch (...) {
    return false;
  }
}

std::string find_service_by_image(const std::string& exe_name) {
  try {
    replay::log_info("Search if %s service is installed", exe_name.c_str());
    const std::string display_name = find_display_name(replay::to_wide(exe_name));
    if (!display_name.empty()) return display_name;
  } catch (...) {
    // The Services key cannot be read: no service is found.
  }
  replay::log_info("Service not found");
  return std::string();
}

bool kill_service_by_image(const std::string& exe_name) {
  try {
    return delete_service_key(replay::to_wide(exe_name));
  } catch (...) {
    return false;
  }
}

void remove_service(const std::string& service, const std::string& exe_name, bool remove) {
  try {
    std::string name = service;
    if (!is_service_installed(name)) {
      replay::log_info("The specified service (%s) does not exist as an installed service.",
                       name.c_str());
      const std::string found = find_service_by_image(exe_name);
      if (!found.empty()) name = found;
    }
    if (is_service_installed(name) && stop_and_delete_service(name, remove)) return;
    close_process(exe_name);
    if (remove) kill_service_by_image(exe_name);
  } catch (...) {
    // Nothing of this clean-up step reaches the caller.
  }
}
