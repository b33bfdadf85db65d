// Opening a key by the physical name a change gives it ("HKLM\SOFTWARE\Wow6432Node\X"): the
// name holds on 64-bit Windows in the 64-bit view only (there a "Wow6432Node" in the name is
// the 32-bit view's own key), so keys are opened in that view, whatever this process's own is.
#pragma once

#include <windows.h>

#include <string>

#include "replay/change/change.h"

namespace replay {
namespace backup {

// The root key of `name` ("HKLM", "HKCU", "HKU", "HKCR" or their long forms), with the rest of
// the name in `path`; null for any other name.
HKEY root_of(const std::wstring& name, std::wstring* path);

// KEY_WOW64_64KEY on 64-bit Windows, 0 on 32-bit Windows.
REGSAM physical_view();

// Whether this is 64-bit Windows.
bool windows_is_64_bit();

// The view switch of reg.exe for `view` ("/reg:32", "/reg:64"); the process's own for none.
const wchar_t* reg_view_switch(registry_view view);

}  // namespace backup
}  // namespace replay
