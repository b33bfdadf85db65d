// What a clean-up can change on the seeded machine, item by item.
#include <shlobj.h>
#include <tlhelp32.h>
#include <windows.h>

#include <functional>

#include "replay/unique_handle.h"
#include "testing/prefix.h"
#include "tests/seed/product_cfg.h"
#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_machine.h"

namespace seed {
namespace {

struct registry_scope {
  HKEY root;
  view v;
  std::string label;
};

using test_support::under_wow64;

std::string folder_state(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "absent";
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "present";
  WIN32_FIND_DATAA data;
  const replay::find_handle find(FindFirstFileA((path + "\\*").c_str(), &data));
  int entries = 0;
  if (find) {
    do {
      std::string name = data.cFileName;
      if (name != "." && name != "..") ++entries;
    } while (FindNextFileA(find.get(), &data));
  }
  return entries ? "present (" + std::to_string(entries) + " entries)" : "present (empty)";
}

std::string process_state(const std::string& name) {
  const replay::scoped_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  bool running = false;
  for (BOOL more = Process32First(snapshot.get(), &entry); more && !running;
       more = Process32Next(snapshot.get(), &entry)) {
    running = lstrcmpiA(entry.szExeFile, name.c_str()) == 0;
  }
  return running ? "running" : "not running";
}

std::string service_state(const std::wstring& name) {
  const replay::scoped_service_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  const replay::scoped_service_handle service(
      manager ? OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS) : nullptr);
  std::string state = "absent";
  SERVICE_STATUS status = {};
  if (service && QueryServiceStatus(service.get(), &status)) {
    state =
        status.dwCurrentState == SERVICE_RUNNING ? "registered, running" : "registered, stopped";
  }
  return state;
}

using line_list = std::vector<std::string>;

void add_key(line_list& out, const registry_scope& s, const std::wstring& path) {
  out.push_back("key   " + s.label + "\\" + ansi(path) + ": " +
                (key_exists(s.root, s.v, path) ? "present" : "absent"));
}

void add_value(line_list& out, const registry_scope& s, const std::wstring& path,
               const std::wstring& name) {
  out.push_back("value " + s.label + "\\" + ansi(path) + " [" + ansi(name) +
                "]: " + value_state(s.root, s.v, path, name));
}

void add_registry(line_list& out, const machine_paths& m) {
  const bool wow64 = under_wow64();
  const registry_scope hklm{HKEY_LOCAL_MACHINE, 0, wow64 ? "HKLM(32-bit view)" : "HKLM"};
  const registry_scope hklm64{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY,
                              wow64 ? "HKLM(64-bit view)" : "HKLM"};
  const registry_scope hkcu{HKEY_CURRENT_USER, 0, "HKCU"};
  const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  for (const std::wstring& entry : {std::wstring(L"Corvane"), std::wstring(L"Corvane Toolbar"),
                                    std::wstring(kProductCode), std::wstring(L"Lantern Reader")}) {
    add_key(out, hklm, uninstall + entry);
  }
  add_key(out, hklm, L"Software\\Corvane");
  add_key(out, hklm, L"Software\\Lantern");
  add_key(out, hkcu, L"Software\\Corvane");
  add_key(out, hkcu, L"Software\\VozadEvuzad2");
  add_key(out, hkcu, L"Software\\Lantern");
  if (wow64) add_key(out, hklm64, L"Software\\Corvane");

  const std::wstring upgrade = packed_guid(kUpgradeCode), product = packed_guid(kProductCode);
  const std::wstring classes = L"SOFTWARE\\Classes\\Installer\\";
  const std::wstring machine = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\";
  const std::wstring system = machine + L"UserData\\S-1-5-18\\";
  add_key(out, hklm64, classes + L"UpgradeCodes\\" + upgrade);
  add_key(out, hklm64, machine + L"UpgradeCodes\\" + upgrade);
  add_key(out, hklm64, classes + L"Products\\" + product);
  add_key(out, hklm64, classes + L"Products\\" + packed_guid(kOtherProductCode));
  add_key(out, hklm64, system + L"Products\\" + product);
  add_key(out, hklm64, system + L"Components\\" + packed_guid(kComponentCode));
  add_value(out, hklm64, system + L"Components\\" + packed_guid(kSharedComponentCode), product);
  add_value(out, hklm64, system + L"Components\\" + packed_guid(kSharedComponentCode),
            packed_guid(kOtherProductCode));
  add_key(out, hklm64, classes + L"Features\\" + product);
  const std::wstring patch = packed_guid(kPatchCode);
  add_key(out, hklm64, classes + L"Patches\\" + patch);
  add_key(out, hklm64, system + L"Patches\\" + patch);
  add_value(out, hklm64,
            system + L"Products\\" + packed_guid(kOtherProductCode) + L"\\InstallProperties",
            L"LocalPackage");
  if (wow64) {
    const registry_scope hklm32{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "HKLM(32-bit view)"};
    add_key(out, hklm32, machine + L"UpgradeCodes\\" + upgrade);
    add_key(out, hklm32, system + L"Products\\" + product);
  }

  const std::wstring shared = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  for (const char* file : {"Corvane\\corvane.dll", "Corvane\\shared.dll", "RavelinLauncher.exe",
                           "RavelinSuiteService.exe", "Tracegather.exe", "cvhtml.dll"}) {
    add_value(out, hklm, shared, wide(m.dizavad + file));
  }
  add_value(out, hklm, shared, L"C:\\Lantern\\RavelinLauncher.exe");
}

void add_files(line_list& out, const machine_paths& m) {
  const std::string alice = m.profiles + "alice\\";
  const std::string own_store =
      m.profiles + m.user + "\\AppData\\Local\\VirtualStore\\ProgramData\\";
  for (const std::string& path : {m.dizavad + "RavelinSuiteService.exe",
                                  m.dizavad + "RavelinLauncher.exe",
                                  m.dizavad + "Languages",
                                  m.dizavad + "Corvane",
                                  m.dizavad.substr(0, m.dizavad.size() - 1),
                                  m.common_appdata + "Ravelins\\Suite",
                                  m.common_appdata + "Ravelins\\Programs Bar",
                                  m.common_appdata + "Ravelins",
                                  m.common_appdata + "Corvane",
                                  m.common_appdata + "{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}",
                                  m.common_appdata + "{9A8B7C6D-5E4F-4321-9876-FEDCBA987654}",
                                  m.common_appdata + "Lantern",
                                  m.appdata + "Corvane",
                                  m.appdata + "Ravelins",
                                  alice + "AppData\\Roaming\\Ravelins\\Suite",
                                  alice + "AppData\\Roaming\\Lantern",
                                  alice + "AppData\\Local\\VirtualStore\\ProgramData\\Ravelins",
                                  own_store + "Ravelins",
                                  m.common_programs + "\\Ravelins",
                                  m.common_programs + "\\Corvane",
                                  m.programs + "\\Ravelins",
                                  m.programs + "\\Lantern",
                                  std::string("C:\\Lantern"),
                                  installer_folder() + kCachedPackage,
                                  installer_folder() + kCachedPatch,
                                  installer_folder() + ansi(kProductCode),
                                  installer_folder() + kOtherCachedPackage,
                                  installer_folder() + ansi(kOtherProductCode)}) {
    out.push_back("path  " + path + ": " + folder_state(path));
  }
  out.push_back("product.cfg registrations: " + read_product_cfg(m.product_cfg));
}

}  // namespace

std::vector<std::string> inventory() {
  const machine_paths m = current_machine();
  line_list out;
  add_registry(out, m);
  add_files(out, m);
  for (const char* process : {"RavelinLauncher.exe", "cvagent.exe", "cvus.exe", "xcvus.exe"}) {
    out.push_back("process " + std::string(process) + ": " + process_state(process));
  }
  for (const wchar_t* service : {L"Corvane Update Service", L"Lantern Update Service"}) {
    out.push_back("service " + ansi(service) + ": " + service_state(service));
  }
  return out;
}

}  // namespace seed
