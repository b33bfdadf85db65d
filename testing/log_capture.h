// Collects the lines of the process-wide log: a listener that records into a list the test owns,
// and an owner that installs one for its lifetime.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "replay/log/listener.h"

namespace test_support {

// Level, header (time stamp) and UTF-8 text of one line.
struct captured_line {
  int level;
  std::string header;
  std::string text;
};

// Records what it receives into `lines`; counts its own deletion in `deleted` when given.
class capture : public replay::log::listener {
 public:
  explicit capture(std::vector<captured_line>* lines, int* deleted = nullptr)
      : m_lines(lines), m_deleted(deleted) {}
  ~capture() override {
    if (m_deleted != nullptr) ++*m_deleted;
  }
  void write(int level, const std::string& header, const std::string& text) override {
    m_lines->push_back({level, header, text});
  }

 private:
  std::vector<captured_line>* m_lines;
  int* m_deleted;
};

// Records the log's lines from construction until destruction. Both end the process-wide log
// (log_shutdown), so a capture starts with no other listener and leaves none behind.
class captured_log {
 public:
  captured_log();
  ~captured_log();
  captured_log(const captured_log&) = delete;
  captured_log& operator=(const captured_log&) = delete;

  const std::vector<captured_line>& lines() const { return *m_lines; }
  // The texts written so far, in order.
  std::vector<std::string> texts() const;
  // Whether some line's text contains `part`.
  bool contains(const std::string& part) const;
  // Whether a line of `level` contains `part`.
  bool contains(int level, const std::string& part) const;

 private:
  std::shared_ptr<std::vector<captured_line>> m_lines;
};

}  // namespace test_support
