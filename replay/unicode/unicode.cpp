#include "replay/unicode/unicode.h"

#include <windows.h>

#include <vector>

namespace replay {
namespace {

// Code pages for which the conversion calls accept neither flags nor the default-character
// indicator.
bool takes_flags(int codepage) {
  switch (codepage) {
    case 42:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 52936:
    case 54936:
    case 65000:
    case 65001:
      return false;
    default:
      return codepage < 57002 || codepage > 57011;
  }
}

[[noreturn]] void throw_narrowing_error(DWORD error) {
  switch (error) {
    case ERROR_INSUFFICIENT_BUFFER:
      throw unicode::out_of_memory("");
    case ERROR_INVALID_PARAMETER:
      throw unicode::unmappable_character("");
    default:
      throw unicode::generic("");
  }
}

[[noreturn]] void throw_widening_error(DWORD error) {
  switch (error) {
    case ERROR_INSUFFICIENT_BUFFER:
      throw unicode::out_of_memory("");
    case ERROR_INVALID_PARAMETER:
      throw unicode::invalid_codepage("");
    case ERROR_NO_UNICODE_TRANSLATION:
      throw unicode::unmappable_character("");
    default:
      throw unicode::generic("");
  }
}

std::string latin1_narrow(const std::wstring& text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) {
    if (static_cast<unsigned>(c) > 0xFF) throw unicode::unmappable_character("");
    narrow += static_cast<char>(c);
  }
  return narrow;
}

std::wstring latin1_wide(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace

std::string to_narrow(const std::wstring& text, int codepage, bool strict) {
  if (text.empty()) return std::string();
  if (codepage == unicode::latin1) return latin1_narrow(text);
  CPINFO info;
  if (!GetCPInfo(codepage, &info)) throw unicode::invalid_codepage("");
  const int length = static_cast<int>(text.size());
  std::vector<char> buffer(text.size() * info.MaxCharSize);
  BOOL used_default = FALSE;
  const int written = WideCharToMultiByte(codepage, 0, text.data(), length, buffer.data(),
                                          static_cast<int>(buffer.size()), nullptr,
                                          takes_flags(codepage) ? &used_default : nullptr);
  if (written == 0) throw_narrowing_error(GetLastError());
  if (used_default && strict) throw unicode::unmappable_character("");
  return std::string(buffer.data(), written);
}

std::wstring to_wide(const std::string& text, int codepage) {
  if (text.empty()) return std::wstring();
  if (codepage == unicode::latin1) return latin1_wide(text);
  const int length = static_cast<int>(text.size());
  std::vector<wchar_t> buffer(text.size());
  const DWORD flags = takes_flags(codepage) ? MB_ERR_INVALID_CHARS : 0;
  const int written =
      MultiByteToWideChar(codepage, flags, text.data(), length, buffer.data(), length);
  if (written == 0) throw_widening_error(GetLastError());
  return std::wstring(buffer.data(), written);
}

std::wstring to_upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace replay
