#include "setup_dll/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

std::wstring program_folder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.rfind(L'\\') + 1);
}

std::string read_file(const std::wstring& path) {
  std::string text;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return text;
  char buffer[4096];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, count);
  fclose(file);
  return text;
}

std::string narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], size, nullptr, nullptr);
  return result;
}

bool key_exists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void create_key(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS)
      << narrow(path);
  RegCloseKey(key);
}
