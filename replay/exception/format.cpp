#include "replay/exception/format.h"

#include <stdio.h>

#include <vector>

#include "replay/exception/exception.h"

namespace replay {
namespace {

constexpr size_t kInitialSize = 1024;

int counted_print(char* buffer, size_t size, const char* format, va_list args) {
  return _vsnprintf(buffer, size, format, args);
}
int counted_print(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
  return _vsnwprintf(buffer, size, format, args);
}
int needed_length(const char* format, va_list args) {
  return _vscprintf(format, args);
}
int needed_length(const wchar_t* format, va_list args) {
  return _vscwprintf(format, args);
}

// msvcrt's counted printf returns -1 both for a too-small buffer and for a real error; the
// counting call tells them apart (it fails only on a real error).
template <typename Char>
bool is_format_error(const Char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = needed_length(format, copy);
  va_end(copy);
  return length < 0;
}

template <typename Char>
std::basic_string<Char> grow_and_format(const Char* format, va_list args) {
  if (format == nullptr) throw exception(std::string("format is null"));
  for (size_t size = kInitialSize;; size *= 2) {
    std::vector<Char> buffer(size);
    va_list copy;
    va_copy(copy, args);
    const int length = counted_print(buffer.data(), size, format, copy);
    va_end(copy);
    if (length >= 0 && static_cast<size_t>(length) < size) {
      return std::basic_string<Char>(buffer.data(), length);
    }
    if (length < 0 && is_format_error(format, args)) {
      throw exception(std::string("the format cannot be rendered"));
    }
  }
}

}  // namespace

std::string vformat(const char* format, va_list args) {
  return grow_and_format(format, args);
}

std::wstring vformat(const wchar_t* format, va_list args) {
  return grow_and_format(format, args);
}

std::string format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    std::string text = vformat(format, args);
    va_end(args);
    return text;
  } catch (...) {
    va_end(args);
    throw;
  }
}

std::wstring format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    std::wstring text = vformat(format, args);
    va_end(args);
    return text;
  } catch (...) {
    va_end(args);
    throw;
  }
}

}  // namespace replay
