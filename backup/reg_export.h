// Saving a key tree with the system's own reg.exe ("reg export <key> <file> /y /reg:NN"),
// started hidden and waited for, so that an administrator can also restore it by hand with
// "reg import".
#pragma once

#include <windows.h>

#include <string>

#include "replay/change/change.h"

namespace replay {
namespace backup {

// The system's reg.exe: the 64-bit one on 64-bit Windows where the system offers it to this
// process.
std::wstring reg_program();

// Exports `key` (the physical name, "HKLM\...") and everything below it in `view` to `file`,
// which must not exist. 0, or the error: the start's, ERROR_TIMEOUT, or ERROR_FUNCTION_FAILED
// when reg.exe reports a failure or wrote no file; ERROR_INVALID_NAME for a name that cannot
// stand on a command line.
DWORD export_key_tree(const std::wstring& key, registry_view view, const std::wstring& file);

}  // namespace backup
}  // namespace replay
