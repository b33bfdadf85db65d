// SharedDLLs counters: HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs holds one
// REG_DWORD per shared file (value name = the file's path, data = number of products using it).
#pragma once

#include <string>

// Sets every counter whose name contains `pattern` (ASCII letters compared without case) to
// `count`, or deletes it when `count` is 0. Works on the 32-bit view of the registry. Logs the
// counters found before changing any. Registry errors (a counter that is not a REG_DWORD, a key
// that cannot be written) leave as replay::registry2 exceptions; counters already changed stay.
void fix_shareddlls_counters(std::wstring pattern, int count);

// True when `value_name` contains `pattern`, A to Z folded to lower case.
bool matches_shareddlls_pattern(const std::wstring& value_name, const std::wstring& pattern);
