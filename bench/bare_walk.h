// The obvious implementation of the root-store scan, as the benchmark's yardstick and reference:
// a recursive RegOpenKeyExW / RegEnumKeyExW walk that opens and lists every key it reaches. It
// finds the root stores and installer stores by the same rules as locate_root_stores and
// list_installer_stores and writes the same log lines, so both results can be compared.
#pragma once

#include <string>
#include <vector>

struct bare_walk_result {
  std::vector<std::string> lines;  // "Root: ..." and "UserData: ..." lines, UTF-8
  long keys = 0;                   // keys opened and listed
};

// Rules of the native form: HKCR, HKCU, HKU, HKLM, subkeys sorted, "UpgradeCodes" matched exactly.
bare_walk_result bare_walk_native();
// Rules of the WOW64 form: HKCR top level only, HKLM, HKCU, HKU in enumeration order in the 64-bit
// view, Wow6432Node never entered, "UpgradeCodes" opened case-insensitively.
bare_walk_result bare_walk_wow64();
