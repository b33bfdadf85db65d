// Checks for names and paths that come from outside the program (registry values, configuration
// files, the command line) before they become part of a path that is removed. A value that fails
// is never used: the removal that would use it is skipped.
#pragma once

#include <string>

// True for one plain folder or file name: not empty, not "." or "..", no "\", "/", ":", no
// wildcard or other character that Windows refuses in a name ("*", "?", "<", ">", "\"", "|"),
// no control character, and no trailing "." or blank (Windows drops those, so the name would
// name another folder). Such a name, put after a folder and a backslash, always names an entry
// directly inside that folder.
bool is_plain_name(const std::string& name);
bool is_plain_name(const std::wstring& name);

// True for a full path "X:\name\name..." (one trailing "\" allowed) whose every component after
// the drive is a plain name: it names one folder below the drive's root, never the root itself,
// and cannot climb out of the folders it names.
bool is_plain_path(const std::string& path);

// The value as a log line can show it: control characters (which could end the line or start a
// false one) are written as "\xNN".
std::string printable(const std::string& value);
std::wstring printable(const std::wstring& value);
