#include "toolkit/shareddlls_counters.h"

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/registry2/key.h"
#include "replay/unique_handle.h"

namespace {

const char kSharedDllsPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Only A to Z are folded, as the runtime's tolower does in the default locale.
std::wstring ascii_lower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

// The 32-bit view of the key, also when this program runs on 64-bit Windows. A failed open
// leaves no handle, which the key constructor then reports as its key_error.
replay::registry2::key open_shareddlls() {
  replay::unique_hkey handle;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsPath, 0, KEY_READ | KEY_WOW64_32KEY,
                handle.receive());
  return replay::registry2::key(handle.get());
}

std::vector<std::wstring> select_counters(const replay::registry2::key& shared,
                                          const std::wstring& pattern) {
  std::vector<std::wstring> selected;
  for (const std::wstring& name : shared.value_names()) {
    if (matches_shareddlls_pattern(name, pattern)) selected.push_back(name);
  }
  return selected;
}

// The report's detail of a counter change: "3 -> 2", or "3 -> deleted".
std::wstring counter_detail(DWORD current, int count) {
  return std::to_wstring(current) + L" -> " +
         (count == 0 ? std::wstring(L"deleted") : std::to_wstring(count));
}

void set_counter(replay::registry2::key& shared, const std::wstring& name, int count) {
  DWORD current = shared.get_dword(name);
  if (count == 0) {
    shared.delete_value(name, counter_detail(current, count));
    replay::log_info(
        replay::would(L"Removed registry value %ls", L"Registry value %ls would be removed"),
        name.c_str());
  } else if (current != static_cast<DWORD>(count)) {
    DWORD data = static_cast<DWORD>(count);
    shared.set_value(name, REG_DWORD, &data, sizeof(data), counter_detail(current, count));
    replay::log_info(replay::would(L"%ls is set to %d", L"%ls would be set to %d"), name.c_str(),
                     count);
  }
}

}  // namespace

bool matches_shareddlls_pattern(const std::wstring& value_name, const std::wstring& pattern) {
  return ascii_lower(value_name).find(ascii_lower(pattern)) != std::wstring::npos;
}

void fix_shareddlls_counters(std::wstring pattern, int count) {
  replay::registry2::key shared = open_shareddlls();
  std::vector<std::wstring> selected = select_counters(shared, pattern);
  replay::log_info(L"Counters for %s pattern in SharedDLLs key:", pattern.c_str());
  for (const std::wstring& name : selected) {
    replay::log_info(L"   %ls - %d", name.c_str(), static_cast<int>(shared.get_dword(name)));
  }
  for (const std::wstring& name : selected) set_counter(shared, name, count);
}
