#include "testing/test_services.h"

#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/process_list.h"
#include "testing/registry_seed.h"
#include "testing/text.h"

namespace test_support {
namespace {

using replay::scoped_service_handle;

const wchar_t kServices[] = L"SYSTEM\\CurrentControlSet\\Services\\";

scoped_service_handle open_manager() {
  return scoped_service_handle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

scoped_service_handle open_service(const scoped_service_handle& manager, const std::string& name) {
  return scoped_service_handle(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
}

DWORD query_state(SC_HANDLE service) {
  SERVICE_STATUS status = {};
  return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

void stop_and_delete(const std::string& name) {
  const scoped_service_handle manager = open_manager();
  const scoped_service_handle service = open_service(manager, name);
  if (!service) return;
  SERVICE_STATUS status = {};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  eventually([&] { return query_state(service.get()) == SERVICE_STOPPED; }, 5000);
  DeleteService(service.get());
}

std::wstring services_key(const std::wstring& name) {
  return kServices + name;
}

}  // namespace

test_services::~test_services() {
  for (const std::string& name : m_services) stop_and_delete(name);
  for (const std::string& exe_name : m_exe_names) end_processes(wide(exe_name));
  for (const std::string& exe_name : m_exe_names) {
    eventually([&] { return !process_running(wide(exe_name)); }, 5000);
  }
  for (const std::wstring& key : m_keys) delete_tree(HKEY_LOCAL_MACHINE, 0, services_key(key));
}

bool test_services::install(const std::string& name, const std::string& display_name,
                            const std::string& exe_name, const std::string& mode) {
  const std::wstring program = m_folder.place(L"test_service", wide(name), wide(exe_name));
  const std::string command = "\"" + ansi(program) + "\" " + mode;
  m_exe_names.push_back(exe_name);
  const scoped_service_handle manager = open_manager();
  const scoped_service_handle service(
      CreateServiceA(manager.get(), name.c_str(), display_name.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                     command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) return false;
  m_services.push_back(name);
  m_keys.push_back(wide(name));
  return true;
}

bool test_services::install_running(const std::string& name, const std::string& display_name,
                                    const std::string& exe_name, const std::string& mode) {
  if (!install(name, display_name, exe_name, mode)) return false;
  const scoped_service_handle manager = open_manager();
  const scoped_service_handle service = open_service(manager, name);
  if (!StartServiceA(service.get(), 0, nullptr)) return false;
  return eventually([&] { return query_state(service.get()) == SERVICE_RUNNING; }, 20000);
}

bool test_services::request_stop(const std::string& name) {
  const scoped_service_handle manager = open_manager();
  const scoped_service_handle service = open_service(manager, name);
  SERVICE_STATUS status = {};
  if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return false;
  return eventually([&] { return query_state(service.get()) == SERVICE_STOP_PENDING; }, 5000);
}

DWORD test_services::state(const std::string& name) {
  const scoped_service_handle manager = open_manager();
  const scoped_service_handle service = open_service(manager, name);
  return service ? query_state(service.get()) : 0;
}

void test_services::add_key(const std::wstring& name) {
  create_key(HKEY_LOCAL_MACHINE, 0, services_key(name));
  m_keys.push_back(name);
}

bool test_services::key_exists(const std::wstring& name) {
  return test_support::key_exists(HKEY_LOCAL_MACHINE, 0, services_key(name));
}

void set_key_string(const std::wstring& key, const std::wstring& value, DWORD type,
                    const std::wstring& text) {
  set_value(HKEY_LOCAL_MACHINE, 0, services_key(key), value, type, text.c_str(),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void set_key_dword(const std::wstring& key, const std::wstring& value, DWORD data) {
  set_dword(HKEY_LOCAL_MACHINE, 0, services_key(key), value, data);
}

}  // namespace test_support
