#include "backup/key_place.h"

namespace replay {
namespace backup {
namespace {

struct root_name {
  const wchar_t* name;
  HKEY root;
};

}  // namespace

HKEY root_of(const std::wstring& name, std::wstring* path) {
  static const root_name kRoots[] = {
      {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS},
      {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
  for (const root_name& r : kRoots) {
    const std::wstring root = r.name;
    if (name.size() > root.size() && name[root.size()] == L'\\' &&
        _wcsnicmp(name.c_str(), root.c_str(), root.size()) == 0) {
      *path = name.substr(root.size() + 1);
      return r.root;
    }
    if (_wcsicmp(name.c_str(), root.c_str()) == 0) {
      path->clear();
      return r.root;
    }
  }
  return nullptr;
}

bool windows_is_64_bit() {
  if (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

REGSAM physical_view() {
  return windows_is_64_bit() ? KEY_WOW64_64KEY : 0;
}

const wchar_t* reg_view_switch(registry_view view) {
  if (view == registry_view::none) view = own_registry_view();
  return view == registry_view::view_64 ? L"/reg:64" : L"/reg:32";
}

}  // namespace backup
}  // namespace replay
