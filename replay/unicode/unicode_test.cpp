#include "replay/unicode/unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace replay {
namespace {

struct narrow_case {
  const char* name;
  std::wstring input;
  int codepage;
  bool strict;
  std::string expected;
};

const narrow_case kNarrowCases[] = {
    {"empty", L"", 1252, true, ""},
    {"empty_bad_codepage", L"", 12345, true, ""},
    {"latin1_e_acute", L"\u00e9", unicode::latin1, true, "\xe9"},
    {"latin1_full_range", L"a\u00ff\u0001", unicode::latin1, false, "a\xff\x01"},
    {"cp1252_euro", L"\u20ac", 1252, true, "\x80"},
    {"cp1252_cyrillic_lenient", L"\u0416", 1252, false, "?"},
    {"utf8_e_acute", L"\u00e9", CP_UTF8, true, "\xc3\xa9"},
    {"utf8_surrogate_pair", L"\U0001F600", CP_UTF8, true, "\xf0\x9f\x98\x80"},
    {"ansi_ascii", L"plain text", CP_ACP, true, "plain text"},
    {"cp1251_cyrillic", L"\u0416", 1251, true, "\xc6"},
};

TEST(ToNarrowTest, Cases) {
  for (const auto& c : kNarrowCases) {
    EXPECT_EQ(c.expected, to_narrow(c.input, c.codepage, c.strict)) << c.name;
  }
}

TEST(ToNarrowTest, Failures) {
  EXPECT_THROW(to_narrow(L"\u20ac", unicode::latin1, true), unicode::unmappable_character);
  EXPECT_THROW(to_narrow(L"\u20ac", unicode::latin1, false), unicode::unmappable_character);
  EXPECT_THROW(to_narrow(L"\u0416", 1252, true), unicode::unmappable_character);
  EXPECT_THROW(to_narrow(L"abc", 12345, true), unicode::invalid_codepage);
}

struct wide_case {
  const char* name;
  std::string input;
  int codepage;
  std::wstring expected;
};

const wide_case kWideCases[] = {
    {"empty", "", CP_UTF8, L""},
    {"utf8_e_acute", "\xc3\xa9", CP_UTF8, L"\u00e9"},
    {"latin1_two_characters", "\xc3\xa9", unicode::latin1, L"\u00c3\u00a9"},
    {"cp1252_euro", "\x80", 1252, L"\u20ac"},
    {"utf8_invalid_replaced", "a\xff", CP_UTF8, L"a\ufffd"},
    {"utf8_four_bytes", "\xf0\x9f\x98\x80", CP_UTF8, L"\U0001F600"},
};

TEST(ToWideTest, Cases) {
  for (const auto& c : kWideCases) {
    EXPECT_EQ(c.expected, to_wide(c.input, c.codepage)) << c.name;
  }
}

TEST(ToWideTest, Failures) {
  // Byte sequences that double-byte code pages reject (code page 1252 has no invalid byte
  // under Wine).
  EXPECT_THROW(to_wide("\xd0\x96", 932), unicode::unmappable_character);
  EXPECT_THROW(to_wide("\xe2\x82\xac", 949), unicode::unmappable_character);
  EXPECT_THROW(to_wide("abc", 12345), unicode::invalid_codepage);
}

TEST(UnicodeErrorTest, KindsCarryEmptyMessages) {
  try {
    to_narrow(L"\u20ac", unicode::latin1);
    FAIL() << "no exception";
  } catch (const unicode::generic& e) {
    EXPECT_STREQ("unicode.unmappable_character[]", e.what());
  }
  try {
    to_wide("abc", 12345);
    FAIL() << "no exception";
  } catch (const replay::exception& e) {
    EXPECT_STREQ("unicode.invalid_codepage[]", e.what());
  }
}

TEST(UnicodeRoundTripTest, Latin1AndUtf8) {
  std::wstring all;
  for (wchar_t c = 1; c < 256; ++c) all += c;
  EXPECT_EQ(all, to_wide(to_narrow(all, unicode::latin1), unicode::latin1));
  EXPECT_EQ(all, to_wide(to_narrow(all, CP_UTF8), CP_UTF8));
}

}  // namespace
}  // namespace replay
