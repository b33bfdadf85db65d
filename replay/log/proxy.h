// A listener that forwards lines, with a fixed prefix, into another router. The target stamps
// its own header.
#pragma once

#include <string>

#include "replay/log/listener.h"

namespace replay {
namespace log {

class router;

class proxy : public listener {
 public:
  // The target is not owned and must outlive the proxy. prefix is UTF-8.
  proxy(router* target, const std::string& prefix);
  ~proxy() override;

  void write(int level, const std::string& header, const std::string& text) override;

 private:
  router* m_target;
  std::string m_prefix;
};

}  // namespace log
}  // namespace replay
