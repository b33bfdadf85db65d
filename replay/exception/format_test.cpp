#include "replay/exception/format.h"

#include <gtest/gtest.h>

#include "replay/exception/exception.h"

namespace replay {
namespace {

// Lengths around the first buffer size and its doublings.
TEST(FormatTest, TextOfAnyLengthIsWhole) {
  const size_t lengths[] = {0, 1, 1022, 1023, 1024, 1025, 2047, 2048, 2049, 10000};
  for (size_t length : lengths) {
    const std::string text(length, 'n');
    EXPECT_EQ(text, format("%s", text.c_str())) << length;
    const std::wstring wide(length, L'w');
    EXPECT_EQ(wide, format(L"%s", wide.c_str())) << length;
  }
}

// msvcrt semantics: %s in a wide format is a wide string, %S the other width.
TEST(FormatTest, MsvcrtSemantics) {
  EXPECT_EQ(L"a-b", format(L"%s-%S", L"a", "b"));
  EXPECT_EQ("a-b", format("%s-%S", "a", L"b"));
  EXPECT_EQ("-1 4294967295 0000002a", format("%i %u %08x", -1, 0xFFFFFFFFu, 42u));
}

// A wide string that the C locale cannot narrow is a rendering error, not a short buffer: it
// must end in an exception, not in a buffer that grows for ever.
TEST(FormatTest, RenderingErrorThrows) {
  EXPECT_THROW(format("%S", L"\u0416"), replay::exception);
}

}  // namespace
}  // namespace replay
