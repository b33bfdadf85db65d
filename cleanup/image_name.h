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

// True when the service command line `image_path` starts the executable `name`. A quoted command
// line is judged by its quoted executable. An unquoted one matches when the whole text, or the
// part before any blank, names `name`: the system reads "C:\a\x.exe -run" as x.exe with an
// argument, and "C:\Program Files\x.exe" as a path with a blank.
bool image_path_matches(const std::wstring& image_path, const std::wstring& name);
