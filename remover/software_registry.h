// Removes the product's Uninstall entries (by key name, by the product code its own entry
// records, and by DisplayName) and its keys under HKLM\Software and HKCU\Software.
#pragma once

#include <string>

// Logs every deletion and goes on after every failure. Never throws.
void clean_software_registry(const std::wstring& name);
