// Text conversion between UTF-16 and narrow code pages. Code page -1 is the direct Latin-1
// mapping (byte b is character b). Every failure throws a replay::unicode kind.
#pragma once

#include <string>

#include "replay/exception/exception.h"

namespace replay {

namespace unicode {
REPLAY_EXCEPTION_KIND(generic, replay::exception, "unicode");
REPLAY_EXCEPTION_KIND(out_of_memory, generic, "out_of_memory");
REPLAY_EXCEPTION_KIND(invalid_codepage, generic, "invalid_codepage");
REPLAY_EXCEPTION_KIND(unmappable_character, generic, "unmappable_character");

constexpr int latin1 = -1;
}  // namespace unicode

// Wide to narrow. strict: a character without a mapping throws unmappable_character; lenient:
// it becomes the code page's default character.
std::string to_narrow(const std::wstring& text, int codepage = CP_ACP, bool strict = true);
// Narrow to wide; bytes invalid in the code page throw unmappable_character (except for code
// pages that take no flags, such as UTF-8, where the system replaces them).
std::wstring to_wide(const std::string& text, int codepage = CP_ACP);

// `text` in upper case (CharUpperBuff), the form in which Windows names compare without regard
// to letter case.
std::wstring to_upper(std::wstring text);

}  // namespace replay
