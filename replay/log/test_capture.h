// Test support: a listener that records what it receives into a list the test owns.
#pragma once

#include <string>
#include <vector>

#include "replay/log/listener.h"

namespace replay {
namespace testing {

struct captured_line {
  int level;
  std::string header;
  std::string text;
};

class capture : public log::listener {
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

}  // namespace testing
}  // namespace replay
