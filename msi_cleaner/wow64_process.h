// Whether this (32-bit) process runs under WOW64 on 64-bit Windows.
#pragma once

// Looks IsWow64Process up in "kernel32" at run time and asks it about the current process. True
// only when the function exists, the call succeeds and the flag is set.
bool is_wow64_process();
