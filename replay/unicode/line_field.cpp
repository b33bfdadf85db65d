#include "replay/unicode/line_field.h"

#include <cstdio>
#include <cstdlib>

namespace replay {

std::string escaped_field(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t' || c == '\n' || c == '\r' || c == '%') {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::string unescaped_field(const std::string& field) {
  std::string out;
  for (std::string::size_type i = 0; i < field.size(); ++i) {
    if (field[i] == '%' && i + 2 < field.size()) {
      out += static_cast<char>(std::strtoul(field.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += field[i];
    }
  }
  return out;
}

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool read_escaped_field(const std::string& field, std::string* text) {
  std::string out;
  for (std::string::size_type i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
      continue;
    }
    const int high = i + 2 < field.size() ? hex_digit(field[i + 1]) : -1;
    const int low = i + 2 < field.size() ? hex_digit(field[i + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  *text = out;
  return true;
}

}  // namespace replay
