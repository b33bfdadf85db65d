// The key-file step of the installer cleaner: one reference less on the SharedDlls counter of each
// key file of the removed components.
#pragma once

#include "replay/registry2/key.h"

// For each path of `key_files` that has a REG_DWORD counter under HKLM
// "SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDlls" (the process's own view): a counter of 0
// or 1 was the last reference and the value is deleted ("  %ls"); a larger one is decremented
// ("  %ls      is decremented to %d"). Paths without a counter are passed over silently.
void decrement_key_file_counters(const replay::registry2::name_set& key_files);
