// The product's uninstall record: what the machine's Uninstall entries say about where and in
// which version the product is installed.
#pragma once

#include <string>
#include <vector>

struct product_uninstall_record {
  explicit product_uninstall_record(const std::string& product_name);

  std::string install_location;              // InstallLocation as stored, trailing "\" included
  std::string version;                       // DisplayVersion
  int version_number = -1;                   // parse_version(version), 0 when that is negative
  std::string product_name;                  // the DisplayName looked for
  std::vector<std::wstring> uninstall_keys;  // Uninstall subkeys whose DisplayName matched
};

// DisplayName of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<name>. Throws the
// registry errors of replay::registry2 when the entry or the value is missing; logs nothing.
std::wstring read_display_name(const std::string& name);

// Finds the Uninstall entries whose DisplayName equals the record's product name (ASCII case
// folded) and fills version, version number, install location and uninstall keys, logging
// what it finds. Never throws.
void search_product_info(product_uninstall_record& record);

// "d.d.d" -> d0*10000 + d2*1000 + d4; "d.d.dd" and "d.d.ddd" likewise with two and three
// trailing digits. Any other form, or anything but a digit in a digit's place, gives -1.
int parse_version(const std::string& text);
