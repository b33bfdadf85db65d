// Test support: collects the lines of the process-wide log while it lives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "replay/log/test_capture.h"

// Level, time stamp and UTF-8 text of one line.
using captured_line = replay::testing::captured_line;

class captured_log {
 public:
  captured_log();
  ~captured_log();  // ends the process-wide log (log_shutdown)
  captured_log(const captured_log&) = delete;
  captured_log& operator=(const captured_log&) = delete;

  // The texts written so far, in order.
  std::vector<std::string> texts() const;
  const std::vector<captured_line>& lines() const { return *m_lines; }
  // Whether some line's text contains `part`.
  bool contains(const std::string& part) const;

 private:
  std::shared_ptr<std::vector<captured_line>> m_lines;
};
