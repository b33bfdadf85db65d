#include "cleanup/service_programs.h"

#include <windows.h>

#include <vector>

#include "cleanup/image_name.h"
#include "replay/change/change_layer.h"
#include "replay/unique_handle.h"

namespace {

bool same_path(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The command line of the service, or false when it cannot be read.
bool command_line_of(SC_HANDLE manager, const wchar_t* name, std::wstring* command_line) {
  const replay::scoped_service_handle service(OpenServiceW(manager, name, SERVICE_QUERY_CONFIG));
  if (!service) return false;
  DWORD needed = 0;
  QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (needed == 0 || !QueryServiceConfigW(service.get(), config, needed, &needed)) return false;
  *command_line = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
  return true;
}

// The names of every registered Win32 service, or false when they cannot be listed.
bool service_names(SC_HANDLE manager, std::vector<std::wstring>* names) {
  DWORD needed = 0, count = 0, resume = 0;
  EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0,
                        &needed, &count, &resume, nullptr);
  if (GetLastError() != ERROR_MORE_DATA) return false;
  std::vector<BYTE> buffer(needed);
  resume = 0;
  if (!EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                             buffer.data(), needed, &needed, &count, &resume, nullptr)) {
    return false;
  }
  const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names->push_back(services[i].lpServiceName);
  return true;
}

}  // namespace

bool is_service_program(const std::wstring& path) {
  const replay::scoped_service_handle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  std::vector<std::wstring> names;
  if (!manager || !service_names(manager.get(), &names)) return true;
  for (const std::wstring& name : names) {
    if (replay::changes().deleted_service(name)) continue;  // deleted, or planned to be
    std::wstring command_line;
    if (!command_line_of(manager.get(), name.c_str(), &command_line)) continue;
    if (same_path(image_path_program(command_line), path)) return true;
  }
  return false;
}
