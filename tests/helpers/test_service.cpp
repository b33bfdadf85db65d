// Test helper: an own-process Windows service whose behaviour on a stop request is chosen by the
// argument its registration's command line gives it:
//   test_service normal   stops at once
//   test_service slow     reports STOP_PENDING for about 2.5 s, then stops
//   test_service never    reports STOP_PENDING and never stops (ends only when killed)
#include <windows.h>

#include <cstring>

namespace {

enum class stop_mode { normal, slow, never };

stop_mode g_mode = stop_mode::normal;
SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop_requested = nullptr;
DWORD g_check_point = 0;

void report(DWORD state, DWORD wait_hint) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  status.dwCheckPoint =
      (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : ++g_check_point;
  status.dwWaitHint = wait_hint;
  SetServiceStatus(g_status_handle, &status);
}

DWORD WINAPI control_handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    if (g_mode != stop_mode::normal) report(SERVICE_STOP_PENDING, 3000);
    SetEvent(g_stop_requested);
  }
  return NO_ERROR;
}

void WINAPI service_main(DWORD argc, char** argv) {
  g_status_handle =
      RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", control_handler, nullptr);
  if (g_status_handle == nullptr) return;
  report(SERVICE_RUNNING, 0);
  WaitForSingleObject(g_stop_requested, INFINITE);
  if (g_mode == stop_mode::never) {
    for (;;) Sleep(INFINITE);
  }
  if (g_mode == stop_mode::slow) {
    for (int i = 0; i < 5; ++i) {
      Sleep(500);
      report(SERVICE_STOP_PENDING, 3000);
    }
  }
  report(SERVICE_STOPPED, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "slow") == 0) g_mode = stop_mode::slow;
  if (argc > 1 && std::strcmp(argv[1], "never") == 0) g_mode = stop_mode::never;
  g_stop_requested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char name[] = "CvTestService";
  SERVICE_TABLE_ENTRYA table[] = {{name, service_main}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
