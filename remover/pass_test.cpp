// The whole clean-up pass in-process, on the prefix's machine (no suite installed), with a log
// that refuses some lines. Changes machine-wide state like Purgeline itself: SERIAL.
#include "remover/purgeline_main.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "remover/temp_folder.h"
#include "replay/log/log.h"
#include "testing/log_capture.h"

namespace {

using test_support::captured_line;

// Records every line, then refuses the ones that stand between the pass's steps (the empty
// lines, the search banner, the command-line line) by throwing, as a log that fails would.
class refusing_capture : public test_support::capture {
 public:
  using capture::capture;
  void write(int level, const std::string& header, const std::string& text) override {
    capture::write(level, header, text);
    if (text.empty() || text == "**** Search Corvane info ****" ||
        text.rfind("BrandName: ", 0) == 0) {
      throw std::runtime_error("log line refused");
    }
  }
};

bool has_line(const std::vector<captured_line>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const captured_line& line) { return line.text == text; });
}

TEST(CleanupPassTest, RunsToItsEndWhenLinesBetweenTheStepsCannotBeLogged) {
  std::vector<captured_line> lines;
  int deleted = 0;
  replay::log_add_listener(new refusing_capture(&lines, &deleted));

  int exit_code = -1;
  EXPECT_NO_THROW(exit_code = purgeline_main("Acme"));

  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(1, deleted) << "the log is shut down at the end of the pass";
  // The search still ran after its banner failed, and every later step still came.
  EXPECT_TRUE(has_line(lines,
                       "ATTENTION: could not find keys about 'Corvane' in "
                       "'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall' !"));
  EXPECT_TRUE(has_line(lines, "Unregister CVPRO from Dizavad 3.1.x"));
  EXPECT_TRUE(has_line(lines, "**** Cleaning Installation Database ****"));
  DeleteFileA((log_base_name() + ".log.txt").c_str());
}

}  // namespace
