#include "config/wide_text.h"

#include <climits>
#include <cstdlib>

#include "replay/exception/exception.h"

namespace config {

std::string to_locale_narrow(const std::wstring& text) {
  std::string narrow;
  narrow.reserve(text.size());
  char buffer[MB_LEN_MAX];
  for (const wchar_t c : text) {
    const int length = std::wctomb(buffer, c);
    if (length < 0) {
      throw replay::exception("character U+%04X cannot be converted", static_cast<unsigned int>(c));
    }
    narrow.append(buffer, static_cast<std::size_t>(length));
  }
  return narrow;
}

}  // namespace config
