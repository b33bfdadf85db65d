#include "tests/seed/suite_machine.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <windows.h>

#include <fstream>
#include <stdexcept>

#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/text.h"
#include "tests/seed/product_cfg.h"
#include "tests/seed/registry_edit.h"

namespace seed {

const wchar_t kUpgradeCode[] = L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}";
const wchar_t kProductCode[] = L"{7A3E5C21-94B6-4D08-8F1A-3C6B2E9D0F47}";
const wchar_t kComponentCode[] = L"{2F6D4B83-1C57-4E9A-B0D2-8A4F6C3E1B95}";
const wchar_t kSharedComponentCode[] = L"{4C8E2A61-7D39-4B05-A1F6-5E3D9C2B7A18}";
const wchar_t kOtherProductCode[] = L"{9B1D3F57-2E48-4A6C-8D0B-7F5E1A3C9D62}";
const wchar_t kPatchCode[] = L"{C4E1A7B2-6D38-4F05-9A2C-1B7E3D5F8A64}";
const char kCachedPackage[] = "3f8a21.msi";
const char kCachedPatch[] = "5c2e90.msp";
const char kOtherCachedPackage[] = "7d41b6.msi";

namespace {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kShellFolders[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kClassesInstaller[] = L"SOFTWARE\\Classes\\Installer\\";
const wchar_t kMachineInstaller[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\";
const wchar_t kSystemUserData[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\";
const char kOtherUser[] = "alice";

std::string shell_folder(int csidl) {
  const std::wstring path = test_support::shell_folder(csidl | CSIDL_FLAG_CREATE);
  if (path.empty()) throw std::runtime_error("no shell folder " + std::to_string(csidl));
  return test_support::ansi(path);
}
void write_file(const std::string& path, const std::string& text = "Corvane demo data\r\n") {
  if (!test_support::make_file(path, text)) throw std::runtime_error("cannot write " + path);
}

// Seeds the rows; `what` names them when the registry refuses one.
void seed_rows(const std::vector<registry_row>& rows, const char* what) {
  if (!seed_registry(rows)) throw std::runtime_error(std::string("cannot write ") + what);
}
void copy_program(const std::string& from, const std::string& to) {
  test_support::make_folder(test_support::wide(to.substr(0, to.rfind('\\'))));
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    throw std::runtime_error("cannot copy " + from + " to " + to);
  }
}

// Starts a copy of the sleeper, which then stays up for ten minutes.
void start_detached(const std::string& program) {
  std::string command = "\"" + program + "\" 600000";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS,
                      nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + program);
  }
  // Detached: the suite's processes outlive the seeding, and are ended by name.
  const replay::scoped_handle thread(process.hThread);
  const replay::scoped_handle owner(process.hProcess);
}

void install_uninstall_entries(const machine_paths& m) {
  const std::wstring entry = std::wstring(kUninstall) + L"Corvane";
  const HKEY hklm = HKEY_LOCAL_MACHINE;
  seed_rows({string_row(hklm, 0, entry, L"DisplayName", L"Corvane"),
             string_row(hklm, 0, entry, L"DisplayVersion", L"3.1.25"),
             string_row(hklm, 0, entry, L"InstallLocation", wide(m.dizavad + "Corvane\\")),
             string_row(hklm, 0, entry, L"Product Code", kProductCode),
             string_row(hklm, 0, std::wstring(kUninstall) + L"Corvane Toolbar", L"DisplayName",
                        L"Corvane Toolbar"),
             string_row(hklm, 0, std::wstring(kUninstall) + kProductCode, L"DisplayName",
                        L"Corvane Installer Data"),
             string_row(hklm, 0, std::wstring(kUninstall) + L"Lantern Reader", L"DisplayName",
                        L"Lantern Reader")},
            "the Uninstall entries");
}
void install_software_keys() {
  const HKEY hklm = HKEY_LOCAL_MACHINE, hkcu = HKEY_CURRENT_USER;
  std::vector<registry_row> rows = {
      string_row(hklm, 0, L"Software\\Corvane", L"Version", L"3.1.25"),
      string_row(hkcu, 0, L"Software\\Corvane", L"Language", L"en"),
      string_row(hkcu, 0, L"Software\\VozadEvuzad2", L"Seen", L"1"),
      string_row(hklm, 0, L"Software\\Lantern", L"Version", L"7.0"),
      string_row(hkcu, 0, L"Software\\Lantern", L"Language", L"en")};
  if (test_support::under_wow64()) {
    // The 64-bit view is not the 32-bit suite's: it must stay.
    rows.push_back(
        string_row(hklm, KEY_WOW64_64KEY, L"Software\\Corvane", L"Note", L"64-bit view"));
  }
  seed_rows(rows, "the Software keys");
}
void install_start_menu(const machine_paths& m) {
  seed_rows({string_row(HKEY_LOCAL_MACHINE, 0, kShellFolders, L"Common Programs",
                        wide(m.common_programs)),
             string_row(HKEY_CURRENT_USER, 0, kShellFolders, L"Programs", wide(m.programs))},
            "the Shell Folders");
  write_file(m.common_programs + "\\Ravelins\\Corvane\\Corvane.lnk");
  write_file(m.common_programs + "\\Corvane\\Uninstall Corvane.lnk");
  write_file(m.programs + "\\Ravelins\\Corvane\\Corvane.lnk");
  write_file(m.programs + "\\Lantern\\Lantern Reader.lnk");
}

void install_folders(const machine_paths& m, const suite_options& o) {
  const std::string& helpers = o.helpers_folder;
  copy_program(helpers + "suite_service_standin.exe", m.dizavad + "RavelinSuiteService.exe");
  copy_program(helpers + "sleeper.exe", m.dizavad + "RavelinLauncher.exe");
  write_file(m.dizavad + "cvhtml.dll");
  write_file(m.dizavad + "Tracegather.exe");
  write_file(m.dizavad + "Languages\\en.lng");
  write_file(m.dizavad + "Corvane\\Corvane.exe");
  write_file(m.dizavad + "Corvane\\corvane.dll");
  write_file(m.dizavad + "Corvane\\shared.dll");
  copy_program(helpers + "sleeper.exe", m.dizavad + "Corvane\\cvagent.exe");
  copy_program(helpers + "test_service.exe", m.dizavad + "Corvane\\cvus.exe");
  copy_program(helpers + "sleeper.exe", "C:\\Lantern\\xcvus.exe");
  copy_program(helpers + "test_service.exe", "C:\\Lantern\\lnus.exe");

  write_file(m.common_appdata + "Ravelins\\Programs Bar\\bar.dat");
  write_file(m.common_appdata + "Corvane\\cache.db");
  write_file(m.common_appdata + "{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}\\Corvane_Client.msi");
  write_file(m.common_appdata + "{9A8B7C6D-5E4F-4321-9876-FEDCBA987654}\\setup.log");
  write_file(m.common_appdata + "Lantern\\keep.txt");
  write_file(m.appdata + "Corvane\\settings.ini");
  write_file(m.appdata + "Ravelins\\Suite\\user.cfg");
  const std::string alice = m.profiles + kOtherUser + "\\";
  write_file(alice + "AppData\\Roaming\\Ravelins\\Suite\\user.cfg");
  write_file(alice + "AppData\\Roaming\\Lantern\\keep.txt");
  write_file(alice + "AppData\\Local\\VirtualStore\\ProgramData\\Ravelins\\Suite\\product.cfg");
  write_file(m.profiles + m.user +
             "\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins\\Suite\\product.cfg");

  if (o.damage_product_cfg) {
    write_file(m.product_cfg, "this is not protected configuration data");
  } else {
    write_product_cfg(m.product_cfg, o.registered_products);
  }
}

// What the installer keeps beside the registrations: the product's feature registration, its
// cached package and a patch applied to it only (registration and cached .msp), and the icon
// folder it published; the other product's cached package and icon folder are decoys.
void append_installer_leftovers(std::vector<registry_row>& rows) {
  const view v64 = KEY_WOW64_64KEY;
  const HKEY hklm = HKEY_LOCAL_MACHINE;
  const std::wstring product = packed_guid(kProductCode), other = packed_guid(kOtherProductCode);
  const std::wstring patch = packed_guid(kPatchCode);
  const std::wstring installer = wide(installer_folder());
  const std::wstring products = std::wstring(kSystemUserData) + L"Products\\";
  rows.insert(rows.end(),
              {string_row(hklm, v64, std::wstring(kClassesInstaller) + L"Features\\" + product,
                          L"Main", L""),
               string_row(hklm, v64, products + product + L"\\InstallProperties", L"LocalPackage",
                          installer + wide(kCachedPackage)),
               key_row(hklm, v64, products + product + L"\\Patches\\" + patch),
               string_row(hklm, v64, std::wstring(kSystemUserData) + L"Patches\\" + patch,
                          L"LocalPackage", installer + wide(kCachedPatch)),
               key_row(hklm, v64, std::wstring(kClassesInstaller) + L"Patches\\" + patch),
               string_row(hklm, v64, products + other + L"\\InstallProperties", L"LocalPackage",
                          installer + wide(kOtherCachedPackage))});
  for (const char* name : {kCachedPackage, kCachedPatch, kOtherCachedPackage}) {
    write_file(installer_folder() + name, "cached package\r\n");
  }
  write_file(installer_folder() + ansi(kProductCode) + "\\icon.ico", "icon\r\n");
  write_file(installer_folder() + ansi(kOtherProductCode) + "\\icon.ico", "icon\r\n");
}

// Installer registrations live in the 64-bit view on 64-bit Windows; on 32-bit Windows the
// flag is ignored and they land in the only view there is.
void install_installer_stores(const machine_paths& m) {
  const view v64 = KEY_WOW64_64KEY;
  const std::wstring upgrade = packed_guid(kUpgradeCode), product = packed_guid(kProductCode);
  const std::wstring other = packed_guid(kOtherProductCode);
  const std::wstring key_file = wide(m.dizavad + "Corvane\\corvane.dll");
  const std::wstring shared_file = wide(m.dizavad + "Corvane\\shared.dll");
  auto installer_path = [](const std::wstring& p) { return p.substr(0, 1) + L"?" + p.substr(2); };

  const HKEY hklm = HKEY_LOCAL_MACHINE;
  const std::wstring components = std::wstring(kSystemUserData) + L"Components\\";
  std::vector<registry_row> rows;
  for (const wchar_t* root : {kClassesInstaller, kMachineInstaller}) {
    rows.push_back(
        string_row(hklm, v64, std::wstring(root) + L"UpgradeCodes\\" + upgrade, product, L""));
  }
  rows.insert(
      rows.end(),
      {key_row(hklm, v64, std::wstring(kClassesInstaller) + L"Products\\" + product),
       string_row(hklm, v64, std::wstring(kClassesInstaller) + L"Products\\" + other,
                  L"ProductName", L"Lantern Reader"),
       string_row(hklm, v64,
                  std::wstring(kSystemUserData) + L"Products\\" + product + L"\\InstallProperties",
                  L"DisplayName", L"Corvane"),
       string_row(hklm, v64, components + packed_guid(kComponentCode), product,
                  installer_path(key_file)),
       string_row(hklm, v64, components + packed_guid(kSharedComponentCode), product,
                  installer_path(shared_file)),
       string_row(hklm, v64, components + packed_guid(kSharedComponentCode), other,
                  installer_path(shared_file)),
       dword_row(hklm, 0, kSharedDlls, key_file, 2),
       dword_row(hklm, 0, kSharedDlls, shared_file, 5)});
  for (const char* file : {"RavelinLauncher.exe", "RavelinSuiteService.exe", "Tracegather.exe"}) {
    rows.push_back(dword_row(hklm, 0, kSharedDlls, wide(m.dizavad + file), 2));
  }
  rows.push_back(dword_row(hklm, 0, kSharedDlls, wide(m.dizavad + "cvhtml.dll"), 1));
  rows.push_back(dword_row(hklm, 0, kSharedDlls, L"C:\\Lantern\\RavelinLauncher.exe", 3));

  append_installer_leftovers(rows);

  if (test_support::under_wow64()) {
    // The same registrations in the 32-bit view belong to a 32-bit installation that the
    // 64-bit installer database does not know: they must stay.
    rows.push_back(string_row(hklm, KEY_WOW64_32KEY,
                              std::wstring(kMachineInstaller) + L"UpgradeCodes\\" + upgrade,
                              product, L""));
    rows.push_back(
        key_row(hklm, KEY_WOW64_32KEY, std::wstring(kSystemUserData) + L"Products\\" + product));
  }
  seed_rows(rows, "the installer registrations");
  (void)m;
}

void install_service(const std::wstring& name, const std::string& image) {
  install_service_command_line(name, "\"" + image + "\"", true);
}

}  // namespace

void install_service_command_line(const std::wstring& name, const std::string& command_line,
                                  bool start) {
  const replay::scoped_service_handle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) throw std::runtime_error("cannot open the service manager");
  replay::scoped_service_handle service(
      CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                     wide(command_line).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) service.reset(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!service) throw std::runtime_error("cannot create service " + ansi(name));
  if (start) StartServiceW(service.get(), 0, nullptr);
}

std::string installer_folder() {
  char windows[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no Windows folder");
  return std::string(windows, length) + "\\Installer\\";
}

machine_paths current_machine() {
  machine_paths m;
  m.program_files = shell_folder(CSIDL_PROGRAM_FILES) + "\\";
  m.common_appdata = shell_folder(CSIDL_COMMON_APPDATA) + "\\";
  m.appdata = shell_folder(CSIDL_APPDATA) + "\\";
  const std::string profile = shell_folder(CSIDL_PROFILE);
  m.profiles = ansi(test_support::profiles_folder()) + "\\";
  m.user = profile.substr(profile.rfind('\\') + 1);
  m.common_programs = shell_folder(CSIDL_COMMON_PROGRAMS);
  m.programs = shell_folder(CSIDL_PROGRAMS);
  m.dizavad = m.program_files + "Ravelins\\";
  m.product_cfg = m.common_appdata + "Ravelins\\Suite\\product.cfg";
  return m;
}

void install_suite(const suite_options& options) {
  const machine_paths m = current_machine();
  install_uninstall_entries(m);
  install_software_keys();
  install_start_menu(m);
  install_folders(m, options);
  install_installer_stores(m);
  if (options.install_services) {
    install_service(L"Corvane Update Service", m.dizavad + "Corvane\\cvus.exe");
    install_service(L"Lantern Update Service", "C:\\Lantern\\lnus.exe");
  }
  if (options.start_processes) {
    start_detached(m.dizavad + "RavelinLauncher.exe");
    start_detached(m.dizavad + "Corvane\\cvagent.exe");
    start_detached("C:\\Lantern\\xcvus.exe");
  }
}

}  // namespace seed

namespace seed {
namespace {

void end_processes_named(const char* name) {
  const replay::scoped_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) != 0) continue;
    const replay::scoped_handle process(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 5000);
  }
}

}  // namespace

void delete_service(const wchar_t* name) {
  const replay::scoped_service_handle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  const replay::scoped_service_handle service(
      manager ? OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS) : nullptr);
  if (service) {
    SERVICE_STATUS status;
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    DeleteService(service.get());
  }
}

void stop_suite_processes() {
  delete_service(L"Corvane Update Service");
  delete_service(L"Lantern Update Service");
  for (const char* name :
       {"RavelinLauncher.exe", "cvagent.exe", "xcvus.exe", "cvus.exe", "lnus.exe"}) {
    end_processes_named(name);
  }
}

}  // namespace seed
