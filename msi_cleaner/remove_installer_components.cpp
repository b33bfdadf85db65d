#include "msi_cleaner/remove_installer_components.h"

#include <windows.h>

#include <vector>

#include "msi_cleaner/layered_key.h"
#include "msi_cleaner/module_function.h"
#include "msi_cleaner/reg_delete_key_ex.h"
#include "msi_cleaner/wow64_process.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/unique_handle.h"

using replay::would;

namespace {

constexpr char kUserDataA[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
constexpr wchar_t kUserDataW[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
constexpr DWORD kValueChars = 300;
// Returned when a deletion could not be attempted at all.
constexpr LONG kNotAttempted = -1;

std::wstring lower_ascii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  return text;
}

// Whether the lowered key path names the lowered file name: an occurrence that starts the key
// path or follows a "\" or "/". What follows the name does not matter (a ".bak" copy counts), but
// "...\MyRavelinLauncher.exe" names another file.
bool names_file(const std::wstring& key_path, const std::wstring& file_name) {
  for (size_t at = key_path.find(file_name); at != std::wstring::npos;
       at = key_path.find(file_name, at + 1)) {
    if (at == 0 || key_path[at - 1] == L'\\' || key_path[at - 1] == L'/') return true;
  }
  return false;
}

// Deletes `subkey` (the key named `name` below `named_below`), the key alone, as one change of
// the layer: in the 64-bit view under WOW64 through RegDeleteKeyExW, looked up anew for this one
// deletion; else with RegDeleteKeyW. `parent` is the handle the deletion goes through.
LONG delete_key(HKEY parent, const std::wstring& subkey, const layered_key& named_below,
                const std::wstring& name, bool wow64) {
  if (!wow64) {
    return delete_layered_key(named_below, name,
                              [&] { return RegDeleteKeyW(parent, subkey.c_str()); });
  }
  replay::unique_module advapi32(LoadLibraryA("ADVAPI32.DLL"));
  auto remove = module_function<reg_delete_key_ex_function>(advapi32.get(), "RegDeleteKeyExW");
  if (remove == nullptr) return kNotAttempted;
  return delete_layered_key(named_below, name,
                            [&] { return remove(parent, subkey.c_str(), KEY_WOW64_64KEY, 0); });
}

// Subkey names of `key`, listed in full before anything is changed; those planned removed are
// passed over.
std::vector<std::wstring> subkey_names(const layered_key& key) {
  std::vector<std::wstring> names;
  for (const std::wstring& name : subkeys(key)) names.push_back(name);
  return names;
}

// The data of the component's first value (the first not planned deleted) as text; false when
// it cannot be read whole (its name or data does not fit kValueChars characters).
bool first_value_text(const layered_key& component, std::wstring& text) {
  replay::registry2::value_range listing =
      values(component, kValueChars * sizeof(wchar_t), kValueChars - 1);
  const auto first = listing.begin();
  if (first == listing.end() || listing.skipped() != 0) return false;
  text = first->text();
  return true;
}

void remove_first_subkey(const layered_key& component, bool wow64) {
  std::wstring name;
  if (!first_subkey(component, name)) return;
  LONG result = delete_key(component.get(), name, component, name, wow64);
  if (result != ERROR_SUCCESS && result != kNotAttempted) {
    replay::log_info(
        would("! ERROR remove subkey failed: %d", "! ERROR remove subkey would fail: %d"),
        static_cast<int>(result));
  }
}

void remove_component(const layered_key& components, const std::wstring& sid,
                      const std::wstring& component, bool wow64) {
  const std::wstring path = std::wstring(kUserDataW) + L"\\" + sid + L"\\Components\\" + component;
  LONG result = delete_key(HKEY_LOCAL_MACHINE, path, components, component, wow64);
  if (result == ERROR_SUCCESS) {
    replay::log_info(
        would("Removed Component  HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
              "CurrentVersion\\Installer\\UserData\\%ls\\Components\\%ls",
              "Would remove Component  HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
              "CurrentVersion\\Installer\\UserData\\%ls\\Components\\%ls"),
        sid.c_str(), component.c_str());
  } else if (result != kNotAttempted) {
    replay::log_info(would("! ERROR remove component %ls failed: %d",
                           "! ERROR remove component %ls would fail: %d"),
                     component.c_str(), static_cast<int>(result));
  }
}

void check_component(const layered_key& components, const std::wstring& sid,
                     const std::wstring& component, const std::wstring& file_name, REGSAM access,
                     bool wow64) {
  layered_key component_key;
  if (open_layered(components, component, access, component_key) != ERROR_SUCCESS) return;
  std::wstring key_path;
  if (!first_value_text(component_key, key_path)) return;
  if (!names_file(lower_ascii(key_path), file_name)) return;
  remove_first_subkey(component_key, wow64);
  remove_component(components, sid, component, wow64);
}

void search_sid(const layered_key& user_data, const std::wstring& sid,
                const std::wstring& file_name, REGSAM access, bool wow64) {
  layered_key components;
  if (open_layered(user_data, sid + L"\\Components", access, components) != ERROR_SUCCESS) {
    return;
  }
  for (const std::wstring& component : subkey_names(components)) {
    check_component(components, sid, component, file_name, access, wow64);
  }
}

// The UserData key, opened by its ANSI name; while planning named once, and not opened when
// the run has planned to remove it.
bool open_user_data(REGSAM access, layered_key& user_data) {
  user_data.access = access;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUserDataA, 0, access, user_data.handle.receive()) !=
      ERROR_SUCCESS) {
    user_data.handle.release();
    return false;
  }
  return check_layered(user_data) == ERROR_SUCCESS;
}

}  // namespace

void remove_installer_components_by_file(const std::wstring& file_name) {
  try {
    replay::log_info("Search Component %ls ", file_name.c_str());
    // Every key path contains the empty name: it would match all components.
    if (file_name.empty()) return;
    const bool wow64 = is_wow64_process();
    const REGSAM access = wow64 ? 0x20119 : 0x20019;
    layered_key user_data;
    if (!open_user_data(access, user_data)) return;
    const std::wstring lowered = lower_ascii(file_name);
    for (const std::wstring& sid : subkeys(user_data)) {
      search_sid(user_data, sid, lowered, access, wow64);
    }
  } catch (...) {
    // Never throws: the remover goes on with its next file.
  }
}
