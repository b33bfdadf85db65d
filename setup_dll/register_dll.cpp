// register_dll_wi: COM registration with the system's regsvr32, with a registry proof as the
// fallback when regsvr32 reports a failure.
#include <windows.h>

#include <string>

#include "cleanup/launch.h"
#include "setup_dll/action_boundary.h"
#include "setup_dll/custom_action_data.h"
#include "setup_dll/registration_proof.h"
#include "setup_dll/setupmate.h"
#include "setup_dll/system_program.h"

namespace {

// The DLL's folder: the path up to its last "\" (the whole text when it has none).
std::wstring folder_of(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(0, slash);
}

// regsvr32 of the system folder that matches this build, never one found by name.
std::uint32_t run_regsvr32(const std::wstring& dll) {
  return launch_and_wait_for_exit_code(system_program(L"regsvr32.exe"), L"/s \"" + dll + L"\"",
                                       folder_of(dll));
}

}  // namespace

extern "C" UINT __stdcall register_dll_wi(MSIHANDLE install) {
  try {
    const std::wstring data = read_custom_action_data(install);
    const std::wstring dll = parameter(data, L"DLL");
    const std::wstring subkey = parameter(data, L"HKCR_CHECK_SUBKEY");
    if (run_regsvr32(dll) == 0) return ERROR_SUCCESS;
    return check_registration(subkey);
  } catch (...) {
    report_exception("register_dll_wi");
    return ERROR_INSTALL_FAILURE;
  }
}
