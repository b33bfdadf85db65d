// Matching of executable image names, as used by the process and service look-ups.
#pragma once

#include <string>

// True when `candidate` names the image `name`: it equals `name`, or it is a path whose last
// component is `name` (it ends with "\" or "/" followed by `name`). Only the ASCII letters A to Z
// are folded, so "CVUS.EXE" names "cvus.exe" while "xcvus.exe" does not. An empty `name` names
// nothing.
bool image_name_matches(const std::string& candidate, const std::string& name);
bool image_name_matches(const std::wstring& candidate, const std::wstring& name);

// The executable path that a service's command line starts: the text between the quotes when it
// starts with a quote ("\"C:\a b\x.exe\" -run" gives "C:\a b\x.exe"), else the whole text.
std::wstring image_path_executable(const std::wstring& image_path);

// The program that a service's command line starts, as Windows resolves it: the quoted text when
// it starts with a quote; otherwise the text up to the first ".exe" (any case) followed by a
// blank or the end, or, without such an ".exe", the text up to the first blank.
// "C:\Program Files\Lantern\lhost.exe /watch C:\Corvane\cvus.exe" starts
// "C:\Program Files\Lantern\lhost.exe".
std::wstring image_path_program(const std::wstring& image_path);

// True when the service command line `image_path` starts the executable `name`: only its program
// (image_path_program) is judged, never its arguments.
bool image_path_matches(const std::wstring& image_path, const std::wstring& name);

// A process or service name (ANSI text) as the change layer names it; bytes that the code page
// does not map are taken one for one (Latin-1), so the text never fails.
std::wstring wide_system_name(const std::string& name);
