// Fast listing of the subkeys that a registry scan has to enter.
//
// A scan for root stores looks below every key it can read, but a subkey that has no subkeys of
// its own can neither be a root store nor hold one. Asking the parent for each subkey's size
// (one call per subkey) is far cheaper than opening, listing and closing every leaf (four calls),
// so only the "inner" subkeys, those with subkeys of their own, are reported with their names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct subkey_listing {
  // Names of the inner subkeys, in the order the registry enumerates them.
  std::vector<std::wstring> names;
  // False when an enumeration call failed before the end of the list (the key vanished, access
  // was denied, ...); `names` then holds what was listed up to that point.
  bool complete = true;
};

// Lists the inner subkeys of `key`. Predefined root handles and handles the native interface
// cannot take are listed by the registry layer's subkey range instead; every subkey then counts
// as inner.
subkey_listing list_inner_subkeys(HKEY key);
