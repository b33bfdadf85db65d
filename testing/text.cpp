#include "testing/text.h"

#include <windows.h>

namespace test_support {
namespace {

std::string convert(const std::wstring& text, UINT codepage) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(codepage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codepage, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

}  // namespace

std::string utf8(const std::wstring& text) {
  return convert(text, CP_UTF8);
}

std::string ansi(const std::wstring& text) {
  return convert(text, CP_ACP);
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
  return result;
}

}  // namespace test_support
