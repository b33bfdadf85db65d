#include "tests/seed/suite_scope.h"
#include "testing/prefix.h"

#include <windows.h>

#include <string>

#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_machine.h"

namespace seed {
namespace {

using test_support::item_within;
using test_support::machine_change;

using test_support::under_wow64;

// Windows names are compared without regard to case.
bool starts_with_ignoring_case(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(),
                        static_cast<int>(prefix.size()), prefix.c_str(),
                        static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

std::string without_trailing_backslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// The keys, folders, services and processes that are the suite's (or its framework's), each
// with everything below it, as the snapshot names them (keys taken by the start of their name
// are below).
std::vector<std::string> suite_paths(const machine_paths& m) {
  // The 32-bit suite's HKLM\Software, as the 64-bit view shows it.
  const std::string software = under_wow64() ? "HKLM\\SOFTWARE\\Wow6432Node" : "HKLM\\SOFTWARE";
  const std::string uninstall = software + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::string classes = "HKLM\\SOFTWARE\\Classes\\Installer\\";
  const std::string installer = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\";
  const std::string system = installer + "UserData\\S-1-5-18\\";
  const std::string upgrade = ansi(packed_guid(kUpgradeCode));
  const std::string product = ansi(packed_guid(kProductCode));
  const std::string services = "HKLM\\System\\CurrentControlSet\\Services\\";
  const std::string control_set = "HKLM\\System\\ControlSet001\\Services\\";
  const std::string profiles = without_trailing_backslash(m.profiles);
  const std::string patch = ansi(packed_guid(kPatchCode));
  const std::string cache = installer_folder();
  return {
      classes + "Features\\" + product,
      classes + "Patches\\" + patch,
      system + "Patches\\" + patch,
      cache + kCachedPackage,
      cache + kCachedPatch,
      cache + ansi(kProductCode),
      uninstall + ansi(kProductCode),
      classes + "UpgradeCodes\\" + upgrade,
      installer + "UpgradeCodes\\" + upgrade,
      classes + "Products\\" + product,
      system + "Products\\" + product,
      system + "Components\\" + ansi(packed_guid(kComponentCode)),
      services + "Corvane Update Service",
      control_set + "Corvane Update Service",
      without_trailing_backslash(m.dizavad),
      m.common_appdata + "Ravelins",
      m.common_appdata + "Corvane",
      m.common_appdata + "{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}",
      m.appdata + "Corvane",
      m.appdata + "Ravelins",
      profiles + "\\alice\\AppData\\Roaming\\Ravelins",
      profiles + "\\alice\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins",
      profiles + "\\" + m.user + "\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins",
      m.common_programs + "\\Ravelins",
      m.common_programs + "\\Corvane",
      m.programs + "\\Ravelins",
      m.programs + "\\Corvane",
      "Corvane Update Service",
      "ravelinlauncher.exe",
      "cvagent.exe",
      "cvus.exe",
      "ravelinsuiteservice.exe",
      "purgeline.exe",
  };
}

// Keys that the clean-up takes by the start of their name, as the suite's: Uninstall entries
// named "Corvane..." and Software keys named "corvane..." or "vozadevuzad..." (any case).
bool is_suite_key_by_name(const std::string& item) {
  const std::string software = under_wow64() ? "HKLM\\SOFTWARE\\Wow6432Node" : "HKLM\\SOFTWARE";
  const struct {
    std::string parent;
    const char* name_start;
  } families[] = {
      {software + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", "Corvane"},
      {software + "\\", "corvane"},
      {software + "\\", "vozadevuzad"},
      {"HKCU\\Software\\", "corvane"},
      {"HKCU\\Software\\", "vozadevuzad"},
  };
  const size_t space = item.find(' ');
  if (space == std::string::npos) return false;
  const std::string name = item.substr(space + 1);
  for (const auto& family : families) {
    if (starts_with_ignoring_case(name, family.parent + family.name_start)) return true;
  }
  return false;
}

// Single values the suite owns inside keys that others share: its key files' SharedDLLs
// counters and its product's reference in a component another product uses.
bool is_suite_value(const std::string& item, const machine_paths& m) {
  const std::string software = under_wow64() ? "HKLM\\SOFTWARE\\Wow6432Node" : "HKLM\\SOFTWARE";
  const std::string shared_dlls =
      "value " + software + "\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs [" + m.dizavad;
  const std::string shared_component =
      "value HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
      "Components\\" +
      ansi(packed_guid(kSharedComponentCode)) + " [" + ansi(packed_guid(kProductCode)) + "]";
  return starts_with_ignoring_case(item, shared_dlls) ||
         (item.size() == shared_component.size() &&
          starts_with_ignoring_case(item, shared_component));
}

// The run's log and a report-only run's report in the temporary folder.
bool is_run_log(const std::string& item) {
  char temp[MAX_PATH];
  const std::string folder(temp, GetTempPathA(MAX_PATH, temp));
  const std::string log = "file " + folder + "CVPurgeline.log";
  const std::string report = "file " + folder + "CVPurgeline.report.txt";
  return starts_with_ignoring_case(item, log) ||
         (item.size() == report.size() && starts_with_ignoring_case(item, report));
}

// What Wine changes by itself when programs start and end.
bool is_wine_housekeeping(const machine_change& change) {
  static const char* const kWineProcesses[] = {
      "process explorer.exe", "process conhost.exe", "process winedevice.exe",
      "process plugplay.exe", "process svchost.exe", "process rpcss.exe",
      "process start.exe",    "process cmd.exe",     "process tabtip.exe",
      "process wineboot.exe", "process rundll32.exe"};
  for (const char* process : kWineProcesses) {
    if (change.item == process) return true;
  }
  // The desktop, started when a program first opens a window (a console program's host does),
  // records its display driver and has the RPC service started; the service manager counts
  // each start.
  static const char* const kDesktopStart[] = {
      "key HKLM\\System\\CurrentControlSet\\Control\\Video\\",
      "value HKLM\\System\\CurrentControlSet\\Control\\Video\\",
      "value HKLM\\System\\CurrentControlSet\\Control\\ServiceCurrent ", "service RpcSs"};
  for (const char* item : kDesktopStart) {
    if (starts_with_ignoring_case(change.item, item)) return true;
  }
  return false;
}

}  // namespace

std::vector<test_support::machine_change> without_run_noise(
    const std::vector<test_support::machine_change>& changes) {
  return test_support::unexpected_changes(changes, [](const machine_change& change) {
    return is_run_log(change.item) || is_wine_housekeeping(change);
  });
}

std::vector<test_support::machine_change> changes_outside_the_suite(
    const std::vector<test_support::machine_change>& changes,
    const std::vector<std::string>& also_the_suites) {
  const machine_paths m = current_machine();
  std::vector<std::string> paths = suite_paths(m);
  paths.insert(paths.end(), also_the_suites.begin(), also_the_suites.end());
  return test_support::unexpected_changes(changes, [&](const machine_change& change) {
    for (const std::string& path : paths) {
      if (item_within(change.item, path)) return true;
    }
    return is_suite_key_by_name(change.item) || is_suite_value(change.item, m) ||
           is_run_log(change.item) || is_wine_housekeeping(change);
  });
}

}  // namespace seed
