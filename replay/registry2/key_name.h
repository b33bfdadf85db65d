// The name the registry itself gives an open key: the physical place of the key, whichever view
// or link it was reached through ("HKLM\SOFTWARE\Wow6432Node\Corvane" for the 32-bit view's
// "HKLM\SOFTWARE\Corvane" on 64-bit Windows). The current user's hive is named "HKCU", other
// hives below HKEY_USERS "HKU\<name>", HKEY_LOCAL_MACHINE "HKLM".
#pragma once

#include <windows.h>

#include <string>

namespace replay {
namespace registry2 {

// Throws key_error "NtQueryKey() failed: handle %i (%i)" when the system cannot name the key.
std::wstring key_name(HKEY key);

// The same for `subkey` (a relative path) below `key`, without opening it.
std::wstring key_name(HKEY key, const std::wstring& subkey);

}  // namespace registry2
}  // namespace replay
