#include "msi_cleaner/packed_guid.h"

#include <cstddef>

namespace {

constexpr std::size_t kDigits = 32;

wchar_t upper_ascii(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c;
}

bool is_hex_digit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

// The hexadecimal digits of `text`, upper-cased, in order.
std::wstring hex_digits(const std::wstring& text) {
  std::wstring digits;
  for (wchar_t c : text) {
    wchar_t u = upper_ascii(c);
    if (is_hex_digit(u)) digits += u;
  }
  return digits;
}

void append_reversed(const std::wstring& d, std::size_t first, std::size_t count,
                     std::wstring& out) {
  for (std::size_t i = first + count; i > first; --i) out += d[i - 1];
}

}  // namespace

std::wstring pack_guid(const std::wstring& text) {
  const std::wstring d = hex_digits(text);
  if (d.size() < kDigits) return std::wstring();
  std::wstring packed;
  packed.reserve(kDigits);
  append_reversed(d, 0, 8, packed);
  append_reversed(d, 8, 4, packed);
  append_reversed(d, 12, 4, packed);
  for (std::size_t i = 16; i < kDigits; i += 2) append_reversed(d, i, 2, packed);
  return packed;
}

std::wstring unpack_guid(const std::wstring& packed) {
  const std::wstring digits = pack_guid(packed);
  if (digits.empty()) return std::wstring();
  std::wstring text = L"{" + digits + L"}";
  for (std::size_t position : {9, 14, 19, 24}) text.insert(position, 1, L'-');
  return text;
}
