#include "cleanup/plain_name.h"

#include <gtest/gtest.h>

namespace {

struct name_case {
  const char* name;
  bool plain;
};

// Each refused name would, put after a folder and a backslash, name that folder itself, one
// above it, one elsewhere, several entries at once, or another entry than the one written.
TEST(PlainNameTest, OnlyOneEntryInsideTheFolderIsNamed) {
  const name_case cases[] = {
      {"Corvane", true},
      {"Corvane Suite 2.1", true},
      {" leading blank", true},
      {".hidden", true},
      {"a..b", true},
      {"caf\xe9", true},  // ANSI letters are letters
      {"", false},
      {".", false},
      {"..", false},
      {"...", false},
      {"Corvane.", false},  // Windows drops the dot: "Corvane" would go
      {"Corvane ", false},
      {"a\\b", false},
      {"\\", false},
      {"..\\..", false},
      {"a/b", false},
      {"C:", false},
      {"a:stream", false},
      {"*", false},
      {"Corv?ne", false},
      {"a<b", false},
      {"a>b", false},
      {"a\"b", false},
      {"a|b", false},
      {"a\tb", false},
      {"a\nb", false},
      {"a\x7f", false},
  };
  for (const name_case& c : cases) {
    EXPECT_EQ(c.plain, is_plain_name(std::string(c.name))) << "'" << c.name << "'";
    std::wstring wide;
    for (const char* p = c.name; *p != '\0'; ++p) wide += static_cast<wchar_t>(*p & 0xFF);
    EXPECT_EQ(c.plain, is_plain_name(wide)) << "'" << c.name << "' (wide)";
  }
  EXPECT_TRUE(is_plain_name(std::wstring(L"\u015c\u4e2d")));
  EXPECT_FALSE(is_plain_name(std::wstring(L"a\u0001")));
}

TEST(PlainNameTest, FullPathsOfPlainNamesOnly) {
  const name_case cases[] = {
      {"C:\\Program Files\\Ravelins\\Corvane\\", true},
      {"C:\\Program Files\\Ravelins\\Corvane", true},
      {"d:\\Corvane", true},
      {"C:\\", false},  // the drive itself
      {"C:", false},
      {"", false},
      {"Corvane", false},  // relative: would depend on the current folder
      {"\\Corvane", false},
      {"\\\\server\\share\\Corvane", false},
      {"\\\\?\\C:\\Corvane", false},
      {"C:Corvane", false},
      {"C:\\Program Files\\Ravelins\\..", false},
      {"C:\\Program Files\\Ravelins\\..\\..\\Windows", false},
      {"C:\\Program Files\\.\\Corvane", false},
      {"C:\\Program Files\\\\Corvane", false},
      {"C:\\Program Files\\Corvane\\\\", false},
      {"C:\\Program Files\\*", false},
      {"C:/Program Files/Corvane", false},
      {"C:\\Program Files\\Corvane.\\", false},
  };
  for (const name_case& c : cases) {
    EXPECT_EQ(c.plain, is_plain_path(c.name)) << "'" << c.name << "'";
  }
}

TEST(PlainNameTest, PrintableEscapesControlCharacters) {
  EXPECT_EQ("Corvane", printable(std::string("Corvane")));
  EXPECT_EQ("a\\x0D\\x0Ab\\x09", printable(std::string("a\r\nb\t")));
  EXPECT_EQ(L"\\x0A\u015c", printable(std::wstring(L"\n\u015c")));
}

}  // namespace
