// Counts the registry calls this program makes, by redirecting its import table entries of the
// registry functions (advapi32) and of NtEnumerateKey (ntdll) through counting stand-ins. Code
// linked into the program, such as the installer cleaner, is counted too.
#pragma once

#include <cstdint>

// Installs the counting stand-ins; call once at start.
void install_registry_call_counter();

// Registry calls made since the program started.
std::uint64_t registry_calls();
