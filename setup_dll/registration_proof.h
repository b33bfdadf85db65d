// The registry proof of a COM registration that regsvr32 reported as failed.
#pragma once

#include <windows.h>

#include <string>

// ERROR_SUCCESS when HKEY_CLASSES_ROOT\`subkey` exists (logged: the registration counts), else
// ERROR_INSTALL_FAILURE (logged: "is not found"). An empty subkey proves nothing: opening it
// would open HKEY_CLASSES_ROOT itself.
UINT check_registration(const std::wstring& subkey);
