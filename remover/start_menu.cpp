#include "remover/start_menu.h"

#include "cleanup/folders.h"
#include "cleanup/plain_name.h"
#include "replay/log/log.h"
#include "replay/registry2/key.h"

namespace {

struct start_menu_scope {
  HKEY root;
  const char* value;  // under Explorer\Shell Folders
  const char* banner;
};

const start_menu_scope kScopes[] = {
    {HKEY_LOCAL_MACHINE, "Common Programs", "All Users'"},
    {HKEY_CURRENT_USER, "Programs", "Current User's"},
};

// The scope's Programs folder as Windows stores it (no trailing "\"), or false.
bool programs_folder(const start_menu_scope& scope, std::string* folder) {
  try {
    *folder =
        replay::registry2::key(scope.root)
            .open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false)
            .get_string(std::string(scope.value));
    return true;
  } catch (...) {
    return false;
  }
}

// Whether `name` may name a folder inside the Programs folder. The display name comes from the
// registry and the brand from the command line: "." or ".." or a name with a separator would
// widen a removal to the Programs folder, the Start Menu or beyond. An empty name is skipped
// quietly (the product's entry had no DisplayName); any other that is not one plain folder name
// is named in the log.
bool usable_name(const char* what, const std::string& name) {
  if (name.empty()) return false;
  if (is_plain_name(name)) return true;
  replay::log_info(
      "ATTENTION: %s '%s' is not a plain folder name: the Start-menu folders named by it are kept",
      what, printable(name).c_str());
  return false;
}

void remove_shortcut_folders(const std::string& programs, const std::string& display_name,
                             const std::string& brand_name) {
  const bool display = usable_name("display name", display_name);
  const bool brand = usable_name("brand name", brand_name);
  if (brand && display) {
    remove_folder_below(programs, programs + "\\" + brand_name + "\\" + display_name);
  }
  if (display) remove_folder_below(programs, programs + "\\" + display_name);
  if (brand) remove_empty_folder_below(programs, programs + "\\" + brand_name);
}

void clean_scope(const start_menu_scope& scope, const std::string& display_name,
                 const std::string& brand_name) {
  replay::log_info("**** Removing shortcuts in %s Start Menu ****", scope.banner);
  std::string programs;
  if (!programs_folder(scope, &programs)) {
    replay::log_info("Start menu folder was NOT removed, may be because it does not exist");
    return;
  }
  remove_shortcut_folders(programs, display_name, brand_name);
}

}  // namespace

void remove_start_menu_shortcuts(const std::string& display_name, const std::string& brand_name) {
  try {
    replay::log_info("%s", "");
    for (const start_menu_scope& scope : kScopes) clean_scope(scope, display_name, brand_name);
    replay::log_info("%s", "");
  } catch (...) {
  }
}
