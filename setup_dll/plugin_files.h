// The shared plug-in's files: unregistered, deleted and taken off the SharedDLLs list.
#pragma once

#include <string>

// Handles the CustomActionData `data` of remove_mutual_plugin_files: each file of FILES= (a ","
// list) is looked for in DIR= and in DIR=x64\ ; a file that is there is unregistered with the
// system's regsvr32 and deleted, and the SharedDLLs value named by its path is deleted whether
// or not it was there. Then the x64\ folder goes if it is empty.
// A DIR= that is empty or not an absolute path (drive or UNC root) removes nothing, logged. A
// file whose existence cannot be told (any error but "not found") is skipped with its file and
// SharedDLLs value, logged. Other failures end only their own item, silently. Never throws the
// failures of an item; the caller counts the products first.
void remove_listed_files(const std::wstring& data);

// Whether `dir` starts at a drive root ("C:\") or is a UNC path ("\\server\share\...").
bool is_absolute_path(const std::wstring& dir);
