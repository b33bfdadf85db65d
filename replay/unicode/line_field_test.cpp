#include "replay/unicode/line_field.h"

#include <gtest/gtest.h>

#include <string>

namespace replay {
namespace {

struct field_case {
  const char* name;
  std::string text;
  std::string field;
};

const field_case kFieldCases[] = {
    {"empty", "", ""},
    {"plain", "HKLM\\SOFTWARE\\Corvane", "HKLM\\SOFTWARE\\Corvane"},
    {"tab_and_line_breaks", "a\tb\nc\rd", "a%09b%0Ac%0Dd"},
    {"percent", "100%", "100%25"},
    {"escape_lookalike", "%41", "%2541"},
    {"other_bytes_kept", std::string("\x01 \xc3\xa9", 4), std::string("\x01 \xc3\xa9", 4)},
};

TEST(LineFieldTest, EscapesAndReadsBack) {
  for (const auto& c : kFieldCases) {
    EXPECT_EQ(c.field, escaped_field(c.text)) << c.name;
    EXPECT_EQ(c.text, unescaped_field(c.field)) << c.name;
  }
}

TEST(LineFieldTest, TheStrictReaderReadsEveryFieldBack) {
  for (const auto& c : kFieldCases) {
    std::string text = "untouched";
    EXPECT_TRUE(read_escaped_field(c.field, &text)) << c.name;
    EXPECT_EQ(c.text, text) << c.name;
  }
}

// A field others may have changed: an escape that is no "%" and two hexadecimal digits, or one
// that stands for a NUL, is refused rather than read as some byte.
TEST(LineFieldTest, TheStrictReaderRefusesMalformedEscapesAndNul) {
  for (const char* field : {"ab%", "ab%4", "%zz", "%4g", "a%%41", "x%00y", "%-1"}) {
    std::string text = "untouched";
    EXPECT_FALSE(read_escaped_field(field, &text)) << field;
    EXPECT_EQ("untouched", text) << field;
  }
}

TEST(LineFieldTest, PercentAtTheEndStays) {
  EXPECT_EQ("ab%", unescaped_field("ab%"));
  EXPECT_EQ("ab%4", unescaped_field("ab%4"));
}

}  // namespace
}  // namespace replay
