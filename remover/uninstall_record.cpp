#include "remover/uninstall_record.h"

#include <cctype>

#include "replay/log/log.h"
#include "replay/registry2/key.h"

namespace {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

replay::registry2::key open_uninstall() {
  return replay::registry2::key(HKEY_LOCAL_MACHINE).open(kUninstall, false);
}

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string read_narrow(const replay::registry2::key& uninstall, const std::wstring& entry,
                        const char* value) {
  return uninstall.open(entry, false).get_string(std::string(value));
}

bool display_name_matches(const replay::registry2::key& uninstall, const std::wstring& entry,
                          const std::string& lowered_name) {
  try {
    return lowered(read_narrow(uninstall, entry, "DisplayName")) == lowered_name;
  } catch (...) {
    return false;
  }
}

void find_matching_entries(const replay::registry2::key& uninstall,
                           product_uninstall_record& record) {
  const std::string name = lowered(record.product_name);
  for (const std::wstring& entry : uninstall.subkey_names()) {
    if (!display_name_matches(uninstall, entry, name)) continue;
    replay::log_info(
        L". Product information is found in the key "
        L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s",
        entry.c_str());
    record.uninstall_keys.push_back(entry);
  }
}

bool read_version(const replay::registry2::key& uninstall, const std::wstring& entry,
                  product_uninstall_record& record) {
  try {
    record.version = read_narrow(uninstall, entry, "DisplayVersion");
    replay::log_info(". Product version: '%s'", record.version.c_str());
    record.version_number = parse_version(record.version);
    if (record.version_number < 0) {
      replay::log_info("The version '%s' has strange format, expected 9.9.99 or 9.9.9",
                       record.version.c_str());
      record.version_number = 0;
    }
    return true;
  } catch (...) {
    replay::log_info(L"ATTENTION: could not find DisplayVersion in '%s' !", entry.c_str());
    return false;
  }
}

bool read_location(const replay::registry2::key& uninstall, const std::wstring& entry,
                   product_uninstall_record& record) {
  try {
    record.install_location = read_narrow(uninstall, entry, "InstallLocation");
    replay::log_info(". Installation directory: '%s'", record.install_location.c_str());
    return true;
  } catch (...) {
    replay::log_info(L"ATTENTION: could not find InstallLocation in '%s' !", entry.c_str());
    return false;
  }
}

// Reads version and location entry by entry until one entry gave both.
void read_entries(const replay::registry2::key& uninstall, product_uninstall_record& record) {
  for (const std::wstring& entry : record.uninstall_keys) {
    const bool found_version = read_version(uninstall, entry, record);
    if (read_location(uninstall, entry, record) && found_version) return;
  }
}

}  // namespace

product_uninstall_record::product_uninstall_record(const std::string& name) : product_name(name) {}

std::wstring read_display_name(const std::string& name) {
  std::wstring entry = std::wstring(kUninstall) + L"\\";
  for (const char c : name) entry += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return replay::registry2::key(HKEY_LOCAL_MACHINE)
      .open(entry, false)
      .get_string(std::wstring(L"DisplayName"));
}

// Each part is guarded by itself: a log line that cannot be written costs neither the search
// nor the closing check.
void search_product_info(product_uninstall_record& record) {
  try {
    replay::log_info("**** Search %s info ****", record.product_name.c_str());
    replay::log_info("%s", "");
  } catch (...) {
  }
  try {
    const replay::registry2::key uninstall = open_uninstall();
    find_matching_entries(uninstall, record);
    read_entries(uninstall, record);
  } catch (...) {
  }
  try {
    if (record.uninstall_keys.empty()) {
      replay::log_info(
          "ATTENTION: could not find keys about '%s' in "
          "'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall' !",
          record.product_name.c_str());
    }
  } catch (...) {
  }
}

int parse_version(const std::string& text) {
  if (text.size() < 5 || text.size() > 7 || text[1] != '.' || text[3] != '.') return -1;
  // Every other place must be a digit: "1.2.3.4" is no version of seven characters.
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 1 && i != 3 && (text[i] < '0' || text[i] > '9')) return -1;
  }
  auto digit = [&text](size_t i) { return text[i] - '0'; };
  int number = digit(0) * 10000 + digit(2) * 1000;
  int scale = text.size() == 5 ? 1 : text.size() == 6 ? 10 : 100;
  for (size_t i = 4; i < text.size(); ++i, scale /= 10) number += digit(i) * scale;
  return number;
}
