// Test support of the installer cleaner tests: registry seeding in a chosen view with the plain
// API (independent of the code under test) and a log listener that keeps the lines written.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace msi_test {

// The lines the process-wide log received while an instance lived (UTF-8 text, no header).
class log_capture {
 public:
  log_capture();
  ~log_capture();
  const std::vector<std::string>& lines() const;
};

// Registry access in view `view` (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY).
void create_key(HKEY root, const std::wstring& path, REGSAM view);
void set_string(HKEY root, const std::wstring& path, const std::wstring& name,
                const std::wstring& text, REGSAM view);
void set_dword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value,
               REGSAM view);
bool key_exists(HKEY root, const std::wstring& path, REGSAM view);
bool value_exists(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);
// The REG_DWORD value, or 0xFFFFFFFF when it cannot be read.
DWORD get_dword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);
void delete_tree(HKEY root, const std::wstring& path, REGSAM view);
void delete_value(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);

// UTF-8 of a wide text, for comparing with logged lines.
std::string utf8(const std::wstring& text);

}  // namespace msi_test
