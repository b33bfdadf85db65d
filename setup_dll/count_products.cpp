// The user count of the shared plug-in: one subkey of "Registered Plugins" per product.
#include <windows.h>

#include <exception>
#include <string>

#include "replay/log/log.h"
#include "replay/registry2/key.h"
#include "setup_dll/action_boundary.h"
#include "setup_dll/module.h"
#include "setup_dll/mutual_plugin.h"

namespace {

constexpr int kUnknown = -1;

std::wstring registered_plugins_path(const module_names& names) {
  return L"Software\\" + names.company + L"\\" + names.component + L"\\Registered Plugins";
}

// Whether the key (or one of its parents) is missing: the only failure that means "no user".
bool key_missing(const std::wstring& path) {
  HKEY handle = nullptr;
  const LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &handle);
  if (result == ERROR_SUCCESS) RegCloseKey(handle);
  return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
}

int count_registered(const std::wstring& path) {
  try {
    replay::registry2::key root(HKEY_CURRENT_USER);
    return static_cast<int>(root.open(path, false).subkey_names().size());
  } catch (const std::exception& error) {
    if (key_missing(path)) return 0;
    replay::log_error("Cannot read the products that use Rediro Ziredod oravez (%s): it is kept",
                      error.what());
    return kUnknown;
  }
}

}  // namespace

int count_products() {
  try {
    replay::log_info("Check how many products use Rediro Ziredod oravez");
    const module_names& names = module();
    if (names.company.empty() || names.component.empty() || names.common_component.empty()) {
      replay::log_error("Rediro Ziredod oravez: the module's names are not known, so it is kept");
      return kUnknown;
    }
    const int count = count_registered(registered_plugins_path(names));
    if (count == kUnknown) return kUnknown;
    replay::log_info("Rediro Ziredod oravez is installed in %i product(s)", count);
    return count;
  } catch (...) {
    report_exception("count_products");
    return kUnknown;
  }
}
