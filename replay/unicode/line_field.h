// A text as one field of a line-based file, so that any name fits on one line between tabs:
// tab, line feed, carriage return and "%" are written as "%09", "%0A", "%0D", "%25"; every other
// byte stays as it is. Used by the backup's index and by the tests' machine snapshots.
#pragma once

#include <string>

namespace replay {

std::string escaped_field(const std::string& text);

// The text of an escaped field: "%" and the two characters after it, read as a hexadecimal
// number, become one byte; a "%" among the last two characters stays as it is.
std::string unescaped_field(const std::string& field);

// The text of an escaped field read from a file others may have changed: false, and `text`
// untouched, when a "%" is not followed by two hexadecimal digits or stands for a NUL byte
// (which would cut the name short wherever it is used).
bool read_escaped_field(const std::string& field, std::string* text);

}  // namespace replay
