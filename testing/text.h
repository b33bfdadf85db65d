// Text conversions for comparing wide paths with log lines, messages and file contents.
#pragma once

#include <string>

namespace test_support {

// UTF-8 of a wide text (the log's encoding).
std::string utf8(const std::wstring& text);
// The ANSI code page's form of a wide text (exception messages, narrow file APIs).
std::string ansi(const std::wstring& text);
// The wide form of an ANSI text.
std::wstring wide(const std::string& text);

}  // namespace test_support
