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

}  // namespace replay
