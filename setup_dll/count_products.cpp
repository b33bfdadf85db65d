// The user count of the shared plug-in: one subkey of "Registered Plugins" per product.
#include <windows.h>

#include <exception>
#include <string>

#include "replay/log/log.h"
#include "replay/registry2/key.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"
#include "setup_dll/action_boundary.h"
#include "setup_dll/module.h"
#include "setup_dll/mutual_plugin.h"

namespace {

constexpr int kUnknown = -1;

std::wstring registered_plugins_path(const module_names& names) {
  return L"Software\\" + names.company + L"\\" + names.component + L"\\Registered Plugins";
}

// Whether the key (or one of its parents) is missing: the only failure that means "no user".
bool key_missing(HKEY root, const std::wstring& path) {
  replay::unique_hkey key;
  const LONG result = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.receive());
  return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
}

// The products listed at `path` below `root`; `whose` names the root in the error line.
int count_registered(HKEY root, const std::wstring& path, const std::wstring& whose) {
  try {
    replay::registry2::key list(root);
    return static_cast<int>(list.open(path, false).subkey_names().size());
  } catch (const std::exception& error) {
    if (key_missing(root, path)) return 0;
    const std::wstring reason = replay::to_wide(error.what());
    replay::log_error(
        L"Cannot read the products that use Rediro Ziredod oravez%ls (%ls): it is kept",
        whose.c_str(), reason.c_str());
    return kUnknown;
  }
}

// The products listed in every hive under HKEY_USERS; a hive that cannot be read counts as
// in use.
int count_in_user_hives(const std::wstring& path) {
  replay::registry2::name_set hives;
  try {
    hives = replay::registry2::key(HKEY_USERS).subkey_names();
  } catch (const std::exception& error) {
    replay::log_error("Cannot read HKEY_USERS (%s): Rediro Ziredod oravez is kept", error.what());
    return kUnknown;
  }
  int count = 0;
  for (const std::wstring& hive : hives) {
    const int in_hive =
        count_registered(HKEY_USERS, hive + L"\\" + path, L" in HKEY_USERS\\" + hive);
    if (in_hive == kUnknown) return kUnknown;
    count += in_hive;
  }
  return count;
}

int count_for(product_scope scope, const std::wstring& path) {
  const int count = count_registered(HKEY_CURRENT_USER, path, L"");
  if (count == kUnknown) return kUnknown;
  replay::log_info("Rediro Ziredod oravez is installed in %i product(s)", count);
  if (count != 0 || scope == product_scope::current_user) return count;
  const int elsewhere = count_in_user_hives(path);
  if (elsewhere > 0) {
    replay::log_info(
        "Rediro Ziredod oravez is installed in %i product(s) of the users under HKEY_USERS, so "
        "it is kept",
        elsewhere);
  }
  return elsewhere;
}

}  // namespace

int count_products(product_scope scope) {
  try {
    replay::log_info("Check how many products use Rediro Ziredod oravez");
    const module_names& names = module();
    if (names.company.empty() || names.component.empty() || names.common_component.empty()) {
      replay::log_error("Rediro Ziredod oravez: the module's names are not known, so it is kept");
      return kUnknown;
    }
    return count_for(scope, registered_plugins_path(names));
  } catch (...) {
    report_exception("count_products");
    return kUnknown;
  }
}
