// Parameters of a deferred custom action: the property CustomActionData, written by the package
// as entries KEY=value; (see examples/setupmate/Product.wxs).
#pragma once

#include <windows.h>

#include <msi.h>

#include <string>
#include <vector>

// The whole value of CustomActionData, however long; empty when the property is missing or
// cannot be read.
std::wstring read_custom_action_data(MSIHANDLE install);

// The value of `key` in `text`: it starts after the first occurrence of key + "=" anywhere in
// the text (so "DLL" also matches inside "XDLL=...") and runs up to the next ";". Empty when
// the key is missing or no ";" follows. Nothing is trimmed.
std::wstring parameter(const std::wstring& text, const std::wstring& key);

// The items of a ","-separated list; empty items are skipped, nothing is trimmed.
std::vector<std::wstring> split_list(const std::wstring& list);
