// The line header, the router, the proxy and the process-wide front end.
#include "replay/log/log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "replay/exception/format.h"
#include "replay/log/header.h"
#include "replay/log/proxy.h"
#include "replay/log/router.h"
#include "testing/log_capture.h"

namespace replay {
namespace {

using test_support::capture;
using test_support::captured_line;

struct header_case {
  int level;
  const char* expected;
};

const header_case kHeaderCases[] = {
    {0, "2024/03/07 05:08:09 #  "},  {1, "2024/03/07 05:08:09    "},
    {2, "2024/03/07 05:08:09 +  "},  {3, "2024/03/07 05:08:09 !  "},
    {4, "2024/03/07 05:08:09 >  "},  {5, "2024/03/07 05:08:09 @  "},
    {-1, "2024/03/07 05:08:09 #  "}, {-1000, "2024/03/07 05:08:09 #  "},
    {6, "2024/03/07 05:08:09 @  "},  {0x7fffffff, "2024/03/07 05:08:09 @  "},
};

TEST(HeaderTest, DateTimeMarkerAndTwoBlanks) {
  SYSTEMTIME time = {};
  time.wYear = 2024;
  time.wMonth = 3;
  time.wDay = 7;
  time.wHour = 5;
  time.wMinute = 8;
  time.wSecond = 9;
  for (const auto& c : kHeaderCases) {
    EXPECT_EQ(c.expected, log::line_header(time, c.level)) << c.level;
  }
}

class RouterTest : public ::testing::Test {
 protected:
  log::router m_router;
  std::vector<captured_line> m_lines;
};

TEST_F(RouterTest, NoListenersAcceptsWrites) {
  m_router.write(1, std::wstring(L"nobody listens"));
  m_router.write(3, std::string("nor here"));
}

TEST_F(RouterTest, StampsLocalTimeAndMarker) {
  m_router.add(new capture(&m_lines));
  m_router.write(3, std::wstring(L"x"));
  ASSERT_EQ(1u, m_lines.size());
  EXPECT_TRUE(
      std::regex_match(m_lines[0].header, std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} !  )")))
      << m_lines[0].header;
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(format("%.4d/", now.wYear), m_lines[0].header.substr(0, 5));
}

TEST_F(RouterTest, ListenersReceiveEveryLineInTheOrderAdded) {
  std::vector<captured_line> second;
  m_router.add(new capture(&m_lines));
  m_router.add(new capture(&second));
  m_router.write(1, std::wstring(L"one"));
  m_router.write(3, std::wstring(L"two"));
  ASSERT_EQ(2u, m_lines.size());
  ASSERT_EQ(2u, second.size());
  EXPECT_EQ("one", m_lines[0].text);
  EXPECT_EQ("two", second[1].text);
  EXPECT_EQ(3, second[1].level);
}

TEST_F(RouterTest, MinimumLevelFilters) {
  std::vector<captured_line> errors_only;
  m_router.add(new capture(&errors_only), 3);
  m_router.add(new capture(&m_lines));
  m_router.write(1, std::wstring(L"info"));
  m_router.write(3, std::wstring(L"error"));
  m_router.write(5, std::wstring(L"top"));
  EXPECT_EQ(3u, m_lines.size());
  ASSERT_EQ(2u, errors_only.size());
  EXPECT_EQ("error", errors_only[0].text);
}

TEST_F(RouterTest, OutOfRangeLevelIsClamped) {
  m_router.add(new capture(&m_lines));
  m_router.write(-7, std::wstring(L"low"));
  m_router.write(42, std::wstring(L"high"));
  ASSERT_EQ(2u, m_lines.size());
  EXPECT_EQ(0, m_lines[0].level);
  EXPECT_EQ('#', m_lines[0].header[20]);
  EXPECT_EQ(5, m_lines[1].level);
  EXPECT_EQ('@', m_lines[1].header[20]);
}

TEST_F(RouterTest, TextReachesListenersAsUtf8) {
  m_router.add(new capture(&m_lines));
  m_router.write(1, std::wstring(L"\u0416\u00e9\U0001F600"));
  m_router.write(1, std::string("caf\xe9"));  // ANSI (code page 1252)
  ASSERT_EQ(2u, m_lines.size());
  EXPECT_EQ("\xd0\x96\xc3\xa9\xf0\x9f\x98\x80", m_lines[0].text);
  EXPECT_EQ("caf\xc3\xa9", m_lines[1].text);
}

TEST_F(RouterTest, ClearDeletesListeners) {
  int deleted = 0;
  m_router.add(new capture(&m_lines, &deleted));
  m_router.add(new capture(&m_lines, &deleted));
  m_router.clear();
  EXPECT_EQ(2, deleted);
  m_router.write(1, std::wstring(L"gone"));
  EXPECT_TRUE(m_lines.empty());
}

struct narrow_case {
  const char* name;
  std::string input;
  int codepage;
  std::wstring expected;
};

// Wine's ANSI code page is 1252, where every byte is valid, so the UTF-8 reading is shown with
// double-byte code pages that reject UTF-8 sequences.
const narrow_case kNarrowCases[] = {
    {"ascii", "plain", CP_ACP, L"plain"},
    {"ansi", "\xe9", 1252, L"\u00e9"},
    {"utf8_fallback_932", "\xd0\x96", 932, L"\u0416"},
    {"utf8_fallback_949", "\xe2\x82\xac", 949, L"\u20ac"},
    {"utf8_invalid_replaced", "\xe2\x82\xac\xff", 949, L"\u20ac\ufffd"},
    {"empty", "", CP_ACP, L""},
};

TEST(NarrowTextTest, ReadInCodePageElseAsUtf8) {
  for (const auto& c : kNarrowCases) {
    EXPECT_EQ(c.expected, log::read_narrow_text(c.input, c.codepage)) << c.name;
  }
}

TEST(ProxyTest, ForwardsWithPrefixIntoTheTarget) {
  log::router target;
  std::vector<captured_line> lines;
  target.add(new capture(&lines));
  log::router module;
  module.add(new log::proxy(&target, format("[%d] ", 1234)));
  module.write(3, std::wstring(L"text \u00e9"));
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("[1234] text \xc3\xa9", lines[0].text);
  EXPECT_EQ(3, lines[0].level);
  EXPECT_EQ(' ', lines[0].header[19]);
  EXPECT_EQ('!', lines[0].header[20]);
}

// The front end writes to the process-wide router; each test starts and ends without one.
class FrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_shutdown();
    log_add_listener(new capture(&m_lines, &m_deleted));
  }
  void TearDown() override { log_shutdown(); }

  std::vector<captured_line> m_lines;
  int m_deleted = 0;
};

TEST_F(FrontEndTest, OperationsAndTheirLevels) {
  log_info("info %d", 1);
  log_info(L"info %s", L"wide");
  log_error("error %s", "narrow");
  log_error(L"error %d", 2);
  log_print(0, "level %i", 0);
  log_print(4, L"level %i", 4);
  log_write(2, std::string("written"));
  log_write(5, std::wstring(L"written wide"));
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "info 1"},  {1, "info wide"}, {3, "error narrow"}, {3, "error 2"},
      {0, "level 0"}, {4, "level 4"},   {2, "written"},      {5, "written wide"}};
  ASSERT_EQ(expected.size(), m_lines.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].first, m_lines[i].level) << i;
    EXPECT_EQ(expected[i].second, m_lines[i].text) << i;
  }
}

TEST_F(FrontEndTest, LongMessagesAreWhole) {
  for (size_t length : {1023u, 1024u, 1025u, 5000u, 70000u}) {
    const std::string text(length, 'a');
    log_info("%s", text.c_str());
    log_info(L"%S", text.c_str());
    ASSERT_EQ(2u, m_lines.size());
    EXPECT_EQ(text, m_lines[0].text) << length;
    EXPECT_EQ(text, m_lines[1].text) << length;
    m_lines.clear();
  }
}

// A wide string that the C locale cannot narrow makes the narrow format fail: the line says so
// instead of the buffer growing without end.
TEST_F(FrontEndTest, UnrenderableFormatIsReportedNotRepeated) {
  log_error("%S", L"\u0416");
  ASSERT_EQ(1u, m_lines.size());
  EXPECT_EQ("replay::log: unable to format: %S", m_lines[0].text);
  EXPECT_EQ(3, m_lines[0].level);
}

TEST_F(FrontEndTest, OutOfRangeLevelIsClamped) {
  log_print(6, "six");
  log_print(-1, L"minus one");
  ASSERT_EQ(2u, m_lines.size());
  EXPECT_EQ(5, m_lines[0].level);
  EXPECT_EQ(0, m_lines[1].level);
}

TEST_F(FrontEndTest, ShutdownDeletesListenersAndLaterWritesGoNowhere) {
  log::router* first = log_instance();
  EXPECT_EQ(first, log_instance());
  log_shutdown();
  EXPECT_EQ(1, m_deleted);
  log_info("after shutdown");
  EXPECT_TRUE(m_lines.empty());
  log_shutdown();
}

TEST_F(FrontEndTest, ProxyIntoTheProcessWideRouter) {
  log::router module;
  module.add(new log::proxy(log_instance(), "[1234] "));
  module.write(1, std::wstring(L"from the module"));
  ASSERT_EQ(1u, m_lines.size());
  EXPECT_EQ("[1234] from the module", m_lines[0].text);
}

}  // namespace
}  // namespace replay
