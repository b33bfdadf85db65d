// Test support shared by Setupmate's test programs: this program's folder, whole files, and keys
// of the registry view the test runs in.
#pragma once

#include <windows.h>

#include <string>

// The folder of this program, with a trailing backslash.
std::wstring program_folder();
// The whole file at `path`, or an empty text when it cannot be opened.
std::string read_file(const std::wstring& path);
// `text` in UTF-8, for failure messages and expected log lines.
std::string narrow(const std::wstring& text);
bool key_exists(HKEY root, const std::wstring& path);
// Creates the key (and its parents); a failure fails the current test.
void create_key(HKEY root, const std::wstring& path);
