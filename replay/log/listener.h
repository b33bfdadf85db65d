// A sink of log lines. Listeners are owned by the router they are added to.
#pragma once

#include <string>

namespace replay {
namespace log {

class listener {
 public:
  virtual ~listener() = default;

  // header: the ASCII time-and-marker stamp; text: the line's text in UTF-8.
  virtual void write(int level, const std::string& header, const std::string& text) = 0;

 protected:
  listener() = default;
  listener(const listener&) = delete;
  listener& operator=(const listener&) = delete;
};

}  // namespace log
}  // namespace replay
