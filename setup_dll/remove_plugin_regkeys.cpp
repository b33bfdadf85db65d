// remove_mutual_plugin_regkeys: deletes the plug-in's HKEY_CURRENT_USER key, and the company
// key when no other product keeps keys below it, once no product uses the plug-in.
#include <windows.h>

#include "replay/log/log.h"
#include "replay/registry2/key.h"
#include "setup_dll/action_boundary.h"
#include "setup_dll/module.h"
#include "setup_dll/mutual_plugin.h"
#include "setup_dll/setupmate.h"

namespace {

void remove_plugin_keys(const module_names& names) {
  {
    replay::registry2::key root(HKEY_CURRENT_USER);
    root.open(L"Software\\" + names.company, false).delete_key(names.component, true);
  }
  replay::registry2::key root(HKEY_CURRENT_USER);
  root.open(L"Software", false).delete_key(names.company, false);
}

}  // namespace

extern "C" UINT __stdcall remove_mutual_plugin_regkeys(MSIHANDLE /*install*/) {
  try {
    replay::log_info("Remove Rediro Ziredod oravez reg keys");
    if (count_products(product_scope::current_user) != 0) return ERROR_SUCCESS;
    remove_plugin_keys(module());
  } catch (...) {
    report_exception("remove_mutual_plugin_regkeys");
  }
  return ERROR_SUCCESS;
}
