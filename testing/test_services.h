// Registrations of the test service program with the real service manager, and bare Services
// registry keys; everything made is removed at the end. Changes machine-wide state: tests that
// use it are SERIAL.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "testing/scratch_folder.h"

namespace test_support {

class test_services {
 public:
  test_services() : m_folder(L"services") {}
  ~test_services();
  test_services(const test_services&) = delete;
  test_services& operator=(const test_services&) = delete;

  // Registers a copy of the test service, placed as `exe_name`, under `name` with `display_name`;
  // its command line is the quoted program path followed by `mode` (normal, slow, never).
  // Returns false when the service manager refuses.
  bool install(const std::string& name, const std::string& display_name,
               const std::string& exe_name, const std::string& mode);
  // Installs and starts, then waits until the service runs.
  bool install_running(const std::string& name, const std::string& display_name,
                       const std::string& exe_name, const std::string& mode);
  // Sends the stop control ourselves; true once the service reports STOP_PENDING.
  static bool request_stop(const std::string& name);
  // The service's current state, 0 when it cannot be queried.
  static DWORD state(const std::string& name);

  // A bare key under HKLM\SYSTEM\CurrentControlSet\Services (no service manager entry).
  void add_key(const std::wstring& name);
  static bool key_exists(const std::wstring& name);

 private:
  scratch_folder m_folder;
  std::vector<std::string> m_services;
  std::vector<std::string> m_exe_names;
  std::vector<std::wstring> m_keys;
};

// Value setters for bare Services keys.
void set_key_string(const std::wstring& key, const std::wstring& value, DWORD type,
                    const std::wstring& text);
void set_key_dword(const std::wstring& key, const std::wstring& value, DWORD data);

}  // namespace test_support
