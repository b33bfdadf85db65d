#include "msi_cleaner/test_support.h"

#include "replay/log/log.h"
#include "replay/log/test_capture.h"
#include "replay/unique_handle.h"

using replay::unique_hkey;

namespace msi_test {
namespace {

std::vector<replay::testing::captured_line> g_captured;
std::vector<std::string> g_lines;

}  // namespace

log_capture::log_capture() {
  replay::log_shutdown();
  g_captured.clear();
  replay::log_add_listener(new replay::testing::capture(&g_captured));
}

log_capture::~log_capture() {
  replay::log_shutdown();
}

const std::vector<std::string>& log_capture::lines() const {
  g_lines.clear();
  for (const auto& line : g_captured) g_lines.push_back(line.text);
  return g_lines;
}

void create_key(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

namespace {

void set_value(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
               const void* data, DWORD size, REGSAM view) {
  unique_hkey key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                      key.receive(), nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  }
}

}  // namespace

void set_string(HKEY root, const std::wstring& path, const std::wstring& name,
                const std::wstring& text, REGSAM view) {
  set_value(root, path, name, REG_SZ, text.c_str(),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

void set_dword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value,
               REGSAM view) {
  set_value(root, path, name, REG_DWORD, &value, sizeof(value), view);
}

bool key_exists(HKEY root, const std::wstring& path, REGSAM view) {
  unique_hkey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.receive()) == ERROR_SUCCESS;
}

bool value_exists(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  unique_hkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  return RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

DWORD get_dword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  unique_hkey key;
  DWORD value = 0xFFFFFFFF;
  DWORD size = sizeof(value);
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.receive()) != ERROR_SUCCESS ||
      RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS) {
    return 0xFFFFFFFF;
  }
  return value;
}

void delete_tree(HKEY root, const std::wstring& path, REGSAM view) {
  unique_hkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.receive()) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteTreeW(key.get(), nullptr);
  key.reset();
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

void delete_value(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  unique_hkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.receive()) == ERROR_SUCCESS) {
    RegDeleteValueW(key.get(), name.c_str());
  }
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

}  // namespace msi_test
