// The key-file step of the installer cleaner: one reference less on the SharedDlls counter of each
// key file of the removed components, made once even when a run is cut off and another one
// completes its pass.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "replay/registry2/key.h"

// Key-file path -> its SharedDlls counter as found before the pass changed anything.
using key_file_counters = std::map<std::wstring, DWORD>;

// The REG_DWORD counters of `key_files` under HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion
// \SharedDlls" (the process's own view) as they are now; paths without one are left out.
key_file_counters read_key_file_counters(const replay::registry2::name_set& key_files);

// For each path, in order, whose counter still holds the count found before the pass: a count of
// 0 or 1 was the last reference and the value is deleted ("  %ls"); a larger one is decremented
// ("  %ls      is decremented to %d"; in a report-only run "would be decremented", and the
// change's detail says "old -> new"). A counter that no longer holds that count was decremented
// already (by a run that was cut off) or was changed by others, and is left as it is. `done` is
// called with each path once it needs no more work.
void decrement_key_file_counters(const key_file_counters& counters,
                                 const std::function<void(const std::wstring&)>& done);
