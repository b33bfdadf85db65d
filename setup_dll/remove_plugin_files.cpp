// remove_mutual_plugin_files: unregisters and deletes the plug-in's DLLs and their SharedDLLs
// values once no product of any loaded user uses the plug-in.
#include <windows.h>

#include "replay/log/log.h"
#include "setup_dll/action_boundary.h"
#include "setup_dll/custom_action_data.h"
#include "setup_dll/mutual_plugin.h"
#include "setup_dll/plugin_files.h"
#include "setup_dll/setupmate.h"

extern "C" UINT __stdcall remove_mutual_plugin_files(MSIHANDLE install) {
  try {
    // The files belong to the machine: every user's products count.
    if (count_products(product_scope::all_users) != 0) return ERROR_SUCCESS;
    replay::log_info("Remove Rediro Ziredod oravez files");
    remove_listed_files(read_custom_action_data(install));
  } catch (...) {
    report_exception("remove_mutual_plugin_files");
  }
  return ERROR_SUCCESS;
}
