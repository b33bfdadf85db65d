// Removal of per-user Windows Installer component registrations by key-file name, used when the
// Dizavad framework is removed.
#pragma once

#include <string>

// Deletes every component under HKLM
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData\<SID>\Components" whose key path
// (its first value) contains `file_name` at a path boundary (at its start or after "\" or "/"),
// compared without regard to case, for example L"RavelinLauncher.exe": "...\RavelinLauncher.exe"
// and "...\RavelinLauncher.exe.bak" name it, "...\MyRavelinLauncher.exe" does not. Works in the
// 64-bit view when the process runs under WOW64. Logs what it removes and the deletions that
// fail; never throws.
void remove_installer_components_by_file(const std::wstring& file_name);
