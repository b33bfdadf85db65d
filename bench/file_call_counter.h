// Counts the file-system calls this program makes, by redirecting its import table entries of
// the file functions (kernel32, ntdll and the C runtime's path functions) through counting
// stand-ins. Code linked into the program (the folder removal, Boost.Filesystem, the standard
// library's filesystem) is counted too; calls made inside system DLLs are not.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// Installs the counting stand-ins; call once at start.
void install_file_call_counter();

// File-system calls made since the program started, by function name.
std::map<std::string, std::uint64_t> file_calls();

// Their sum.
std::uint64_t file_calls_total();
