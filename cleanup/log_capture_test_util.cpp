#include "cleanup/log_capture_test_util.h"

#include "replay/log/listener.h"
#include "replay/log/log.h"

namespace {

class collecting_listener : public replay::log::listener {
 public:
  explicit collecting_listener(std::shared_ptr<std::vector<captured_line>> lines)
      : m_lines(std::move(lines)) {}
  void write(int level, const std::string&, const std::string& text) override {
    m_lines->push_back({level, text});
  }

 private:
  std::shared_ptr<std::vector<captured_line>> m_lines;
};

}  // namespace

captured_log::captured_log() : m_lines(std::make_shared<std::vector<captured_line>>()) {
  replay::log_shutdown();
  replay::log_add_listener(new collecting_listener(m_lines));
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
