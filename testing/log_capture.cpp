#include "testing/log_capture.h"

#include "replay/log/log.h"

namespace test_support {

captured_log::captured_log() : m_lines(std::make_shared<std::vector<captured_line>>()) {
  replay::log_shutdown();
  replay::log_add_listener(new capture(m_lines.get()));
}

captured_log::~captured_log() {
  replay::log_shutdown();
}

std::vector<std::string> captured_log::texts() const {
  std::vector<std::string> texts;
  for (const captured_line& line : *m_lines) texts.push_back(line.text);
  return texts;
}

bool captured_log::contains(const std::string& part) const {
  for (const captured_line& line : *m_lines) {
    if (line.text.find(part) != std::string::npos) return true;
  }
  return false;
}

bool captured_log::contains(int level, const std::string& part) const {
  for (const captured_line& line : *m_lines) {
    if (line.level == level && line.text.find(part) != std::string::npos) return true;
  }
  return false;
}

}  // namespace test_support
