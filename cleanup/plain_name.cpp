#include "cleanup/plain_name.h"

#include <cstdio>
#include <type_traits>

namespace {

template <typename Char>
bool is_control(Char c) {
  const unsigned code = static_cast<typename std::make_unsigned<Char>::type>(c);
  return code < 0x20 || code == 0x7F;
}

template <typename Char>
bool is_refused_character(Char c) {
  if (is_control(c)) return true;
  for (const char* refused = "\\/:*?<>\"|"; *refused != '\0'; ++refused) {
    if (c == static_cast<Char>(*refused)) return true;
  }
  return false;
}

template <typename Char>
bool plain(const std::basic_string<Char>& name) {
  if (name.empty()) return false;
  const Char last = name.back();
  if (last == static_cast<Char>('.') || last == static_cast<Char>(' ')) return false;
  for (Char c : name) {
    if (is_refused_character(c)) return false;
  }
  // "." and ".." end in a dot and are refused above.
  return true;
}

bool is_drive_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

template <typename Char>
std::basic_string<Char> escaped(const std::basic_string<Char>& value) {
  std::basic_string<Char> text;
  for (Char c : value) {
    if (!is_control(c)) {
      text += c;
      continue;
    }
    char code[8];
    std::snprintf(code, sizeof(code), "\\x%02X",
                  static_cast<unsigned>(static_cast<typename std::make_unsigned<Char>::type>(c)));
    for (const char* p = code; *p != '\0'; ++p) text += static_cast<Char>(*p);
  }
  return text;
}

}  // namespace

bool is_plain_name(const std::string& name) {
  return plain(name);
}

bool is_plain_name(const std::wstring& name) {
  return plain(name);
}

bool is_plain_path(const std::string& path) {
  if (path.size() < 4 || !is_drive_letter(path[0]) || path[1] != ':' || path[2] != '\\') {
    return false;
  }
  std::string rest = path.substr(3);
  if (rest.back() == '\\') rest.pop_back();
  for (std::string::size_type start = 0;;) {
    const std::string::size_type end = rest.find('\\', start);
    if (!is_plain_name(rest.substr(start, end - start))) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

std::string printable(const std::string& value) {
  return escaped(value);
}

std::wstring printable(const std::wstring& value) {
  return escaped(value);
}
