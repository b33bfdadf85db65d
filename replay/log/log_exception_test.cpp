#include "replay/log/log_exception.h"

#include <comdef.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "replay/exception/exception.h"
#include "replay/log/generic.h"
#include "replay/log/log.h"
#include "testing/log_capture.h"

namespace replay {
namespace {

using test_support::capture;
using test_support::captured_line;

REPLAY_EXCEPTION_KIND(area_error, replay::exception, "registry2");
REPLAY_EXCEPTION_KIND(key_error, area_error, "key_error");

struct report_case {
  const char* name;
  std::function<void()> thrower;
  const char* expected;  // UTF-8
};

const report_case kReportCases[] = {
    {"library_kind", [] { throw key_error("RegOpenKeyEx failed (2)"); },
     "step() exception: registry2.key_error[RegOpenKeyEx failed (2)]"},
    {"named_lock", [] { throw replay::exception("OpenMutex returned 0x%08x", 5u); },
     "step() exception: [OpenMutex returned 0x00000005]"},
    {"log_kind", [] { throw log::generic("CreateFile failed: x"); },
     "step() exception: log[CreateFile failed: x]"},
    {"wide", [] { throw exception_w(L"\u00e4 %d", 1); }, "step() Exception: [\xc3\xa4 1]"},
    {"wide_unmappable", [] { throw exception_w(L"\u0416"); }, "step() Exception: [\xd0\x96]"},
    {"standard", [] { throw std::runtime_error("boom"); }, "step() exception: boom"},
    {"ansi_what", [] { throw std::runtime_error("caf\xe9"); }, "step() exception: caf\xc3\xa9"},
    {"int", [] { throw 5; }, "step() unknown exception caught"},
    {"string_literal", [] { throw "text"; }, "step() unknown exception caught"},
};

class LogExceptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_shutdown();
    log_add_listener(new capture(&m_lines));
  }
  void TearDown() override { log_shutdown(); }

  std::vector<captured_line> m_lines;
};

TEST_F(LogExceptionTest, ReportsByKindAtLevelThree) {
  for (const auto& c : kReportCases) {
    m_lines.clear();
    try {
      c.thrower();
    } catch (...) {
      log_exception("step()");
    }
    ASSERT_EQ(1u, m_lines.size()) << c.name;
    EXPECT_EQ(c.expected, m_lines[0].text) << c.name;
    EXPECT_EQ(3, m_lines[0].level) << c.name;
    EXPECT_EQ('!', m_lines[0].header[20]) << c.name;
  }
}

TEST_F(LogExceptionTest, ComErrorHasItsOwnLine) {
  try {
    throw _com_error(E_FAIL);
  } catch (...) {
    log_exception("com_step()");
  }
  ASSERT_EQ(1u, m_lines.size());
  EXPECT_EQ(0u, m_lines[0].text.find("com_step() _com_error: ")) << m_lines[0].text;
}

// Called where no exception is being handled it reports instead of ending the process.
TEST_F(LogExceptionTest, OutsideACatchBlock) {
  log_exception("misplaced()");
  ASSERT_EQ(1u, m_lines.size());
  EXPECT_EQ("misplaced() unknown exception caught", m_lines[0].text);
}

}  // namespace
}  // namespace replay
