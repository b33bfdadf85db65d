#include "remover/software_registry.h"

#include "cleanup/plain_name.h"
#include "replay/log/log.h"
#include "replay/mutex/hold_point.h"
#include "replay/registry2/key.h"

namespace {

using replay::registry2::key;

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Whether `text` begins with `prefix`. An empty prefix begins nothing here: it would select
// every key.
bool starts_with(const std::wstring& text, const std::wstring& prefix) {
  return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

// Only A to Z change, as the runtime's tolower does in the default locale.
std::wstring lowered(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

bool is_hex_digit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits, 38 characters.
bool is_guid_text(const std::wstring& text) {
  const std::wstring form = L"{________-____-____-____-____________}";
  if (text.size() != form.size()) return false;
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] == L'_' ? !is_hex_digit(text[i]) : text[i] != form[i]) return false;
  }
  return true;
}

// The recorded product code, when it can select Uninstall entries by prefix: only a whole GUID
// text can ("{" would select every GUID-named entry). Anything else is dropped; an empty code
// quietly, another with an "ATTENTION: " line.
std::wstring usable_product_code(const std::wstring& code) {
  if (code.empty() || is_guid_text(code)) return code;
  replay::log_info(
      L"ATTENTION: product code '%s' is not a GUID: no Uninstall entry is chosen by it",
      printable(code).c_str());
  return std::wstring();
}

key open_uninstall() {
  return key(HKEY_LOCAL_MACHINE).open(kUninstall, false);
}

void delete_uninstall_entry(key& uninstall, const std::wstring& entry) {
  replay::log_info(L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s",
                   entry.c_str());
  uninstall.delete_key(entry, true);
}

// Phase 1: the entries named like the product or like the product code its own entry records.
// Throws on the first failure.
void delete_by_name_and_code(const std::wstring& name) {
  const std::wstring code =
      usable_product_code(key(HKEY_LOCAL_MACHINE)
                              .open(std::wstring(kUninstall) + L"\\" + name, false)
                              .get_string(std::wstring(L"Product Code")));
  key uninstall = open_uninstall();
  for (const std::wstring& entry : uninstall.subkey_names()) {
    if (starts_with(entry, name) || starts_with(entry, code)) {
      delete_uninstall_entry(uninstall, entry);
    }
  }
}

// Phase 1 fallback: the product's own entry only. An empty name would name the Uninstall key
// itself.
void delete_own_entry(const std::wstring& name) {
  if (name.empty()) return;
  try {
    open_uninstall().delete_key(name, true);
    replay::log_info(
        L"Removed HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s",
        name.c_str());
  } catch (...) {
  }
}

// Phase 2, one entry: by key name or by DisplayName. An entry without DisplayName stays.
void delete_if_displayed(key& uninstall, const std::wstring& entry, const std::wstring& name) {
  try {
    const std::wstring display = key(HKEY_LOCAL_MACHINE)
                                     .open(std::wstring(kUninstall) + L"\\" + entry, false)
                                     .get_string(std::wstring(L"DisplayName"));
    if (starts_with(entry, name) || starts_with(display, name)) {
      delete_uninstall_entry(uninstall, entry);
    }
  } catch (...) {
  }
}

void delete_by_display_name(const std::wstring& name) {
  try {
    key uninstall = open_uninstall();
    for (const std::wstring& entry : uninstall.subkey_names()) {
      delete_if_displayed(uninstall, entry, name);
    }
  } catch (...) {
  }
}

// Phase 3, one root: the Software keys named like the product (any case) or "vozadevuzad...".
// The first failure ends the work on this root.
void delete_software_keys(HKEY root, const wchar_t* label, const std::wstring& name) {
  try {
    key software = key(root).open(L"Software", false);
    const std::wstring lowered_name = lowered(name);
    for (const std::wstring& subkey : software.subkey_names()) {
      const std::wstring lowered_subkey = lowered(subkey);
      if (!starts_with(lowered_subkey, lowered_name) &&
          !starts_with(lowered_subkey, L"vozadevuzad")) {
        continue;
      }
      replay::log_info(L"%s\\Software\\%s", label, lowered_subkey.c_str());
      software.delete_key(subkey, true);
    }
  } catch (...) {
  }
}

}  // namespace

void clean_software_registry(const std::wstring& name) {
  try {
    replay::log_info("%s", "");
    replay::log_info("**** Cleaning SOFTWARE registry ****");
    try {
      delete_by_name_and_code(name);
    } catch (...) {
      delete_own_entry(name);
    }
    delete_by_display_name(name);
    replay::hold_point("registry.uninstall entries removed");
    delete_software_keys(HKEY_LOCAL_MACHINE, L"HKLM", name);
    delete_software_keys(HKEY_CURRENT_USER, L"HKCU", name);
    replay::log_info("==================================================");
  } catch (...) {
  }
}
