// Where things are in the prefix (the machine) a test runs on, and where the test itself is.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

// SHGetFolderPathW(csidl) without a trailing "\"; empty when Windows has no such folder.
std::wstring shell_folder(int csidl);
// The folder that holds every user's profile (C:\users in Wine).
std::wstring profiles_folder();
// The folder of this program, with a trailing backslash.
std::wstring program_folder();
// Full path of helper program `name` (without ".exe") in the test's own folder.
std::wstring helper_program(const std::wstring& name);
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall, and the whole path of its entry `entry`.
extern const wchar_t kUninstall[];
std::wstring uninstall(const std::wstring& entry);
// Whether this (32-bit) program runs on 64-bit Windows.
bool under_wow64();

}  // namespace test_support
