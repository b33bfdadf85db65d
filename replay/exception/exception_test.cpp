#include "replay/exception/exception.h"

#include <gtest/gtest.h>

#include <string>

namespace replay {
namespace {

REPLAY_EXCEPTION_KIND(area_error, replay::exception, "area");
REPLAY_EXCEPTION_KIND(kind_error, area_error, "kind");
REPLAY_EXCEPTION_KIND(deeper_error, kind_error, "deeper");

struct what_case {
  const char* name;
  std::string (*make)();
  const char* what;
  const char* category;
};

std::string what_of(const replay::exception& e) {
  return e.what();
}

const what_case kWhatCases[] = {
    {"plain", [] { return what_of(exception(std::string("abc"))); }, "[abc]", ""},
    {"empty", [] { return what_of(exception(std::string())); }, "[]", ""},
    {"formatted", [] { return what_of(exception("code %d, %s", 5, "x")); }, "[code 5, x]", ""},
    {"hex", [] { return what_of(exception("returned 0x%08x", 0x57u)); }, "[returned 0x00000057]",
     ""},
    {"one_level", [] { return what_of(area_error("abc")); }, "area[abc]", "area"},
    {"two_levels", [] { return what_of(kind_error("abc")); }, "area.kind[abc]", "area.kind"},
    {"three_levels", [] { return what_of(deeper_error("m")); }, "area.kind.deeper[m]",
     "area.kind.deeper"},
};

TEST(ExceptionTest, WhatJoinsCategoryAndMessage) {
  for (const auto& c : kWhatCases) {
    EXPECT_EQ(c.what, c.make()) << c.name;
  }
}

TEST(ExceptionTest, CategoryFollowsTheKindChain) {
  EXPECT_EQ("", exception(std::string("m")).category());
  EXPECT_EQ("area", area_error("m").category());
  EXPECT_EQ("area.kind", kind_error("m").category());
  EXPECT_EQ("area.kind.deeper", deeper_error("m").category());
  EXPECT_EQ("m", deeper_error("m").message());
}

TEST(ExceptionTest, KindsAreCaughtByTheirBases) {
  try {
    throw kind_error("x");
  } catch (const area_error& e) {
    EXPECT_STREQ("area.kind[x]", e.what());
  }
  try {
    throw deeper_error("y");
  } catch (const std::exception& e) {
    EXPECT_STREQ("area.kind.deeper[y]", e.what());
  }
}

TEST(ExceptionTest, WhatTwiceGivesEqualText) {
  kind_error e("abc");
  const std::string first = e.what();
  EXPECT_EQ(first, e.what());
  exception_w w(L"abc");
  const std::string wfirst = w.what();
  EXPECT_EQ(wfirst, w.what());
}

TEST(ExceptionTest, CopyKeepsEveryField) {
  kind_error original("abc");
  kind_error copy(original);
  EXPECT_STREQ("area.kind[abc]", copy.what());
  exception_w wide(L"w%d", 1);
  exception_w wide_copy(wide);
  EXPECT_EQ(L"[w1]", wide_copy.what_w());
  EXPECT_STREQ("[w1]", wide_copy.what());
}

TEST(ExceptionTest, LongFormattedMessageIsWhole) {
  const std::string long_text(5000, 'x');
  exception e("%s!", long_text.c_str());
  EXPECT_EQ(long_text + "!", e.message());
}

TEST(ExceptionWTest, WideAndNarrowViews) {
  exception_w e(L"value %d: %s", 7, L"abc");
  EXPECT_EQ(L"value 7: abc", e.message_w());
  EXPECT_EQ(L"", e.category_w());
  EXPECT_EQ(L"[value 7: abc]", e.what_w());
  EXPECT_EQ("value 7: abc", e.message());
  EXPECT_EQ("", e.category());
  EXPECT_STREQ("[value 7: abc]", e.what());
}

// A character the ANSI code page can map and one it cannot: neither makes what() throw.
TEST(ExceptionWTest, NarrowViewIsLenient) {
  exception_w mappable(L"\u00e4");
  EXPECT_STREQ("[\xe4]", mappable.what());  // Wine prefixes use code page 1252.
  exception_w unmappable(L"\u0416x");
  EXPECT_STREQ("[?x]", unmappable.what());
  EXPECT_EQ(L"[\u0416x]", unmappable.what_w());
}

TEST(SystemErrorTextTest, KnownCodesHaveTextWithoutLineBreak) {
  const DWORD codes[] = {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER};
  for (DWORD code : codes) {
    const std::string text = system_error_text(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n")) << code;
  }
  EXPECT_EQ("File not found.", system_error_text(ERROR_FILE_NOT_FOUND));
}

TEST(SystemErrorTextTest, UnknownCodeGivesEmptyText) {
  EXPECT_EQ("", system_error_text(0x2badbeef));
}

}  // namespace
}  // namespace replay
