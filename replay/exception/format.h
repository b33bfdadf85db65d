// printf-style formatting into a growing buffer: 1024 characters first, doubled while the text
// does not fit. Uses msvcrt's semantics (in a wide format %s is a wide string).
#pragma once

#include <cstdarg>
#include <string>

namespace replay {

// Throws replay::exception when the format cannot be rendered at all (an error other than a
// too-small buffer), so the buffer never grows without end.
std::string vformat(const char* format, va_list args);
std::wstring vformat(const wchar_t* format, va_list args);

std::string format(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));
std::wstring format(const wchar_t* format, ...);

}  // namespace replay
