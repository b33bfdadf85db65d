#include "toolkit/byte_strings.h"

std::wstring widen_bytes(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

std::string narrow_low_bytes(const std::wstring& text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) narrow.push_back(static_cast<char>(c & 0xFF));
  return narrow;
}
