#include "replay/log/proxy.h"

#include <windows.h>

#include "replay/log/router.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace log {

proxy::proxy(router* target, const std::string& prefix) : m_target(target), m_prefix(prefix) {}

proxy::~proxy() = default;

void proxy::write(int level, const std::string& /*header*/, const std::string& text) {
  if (m_target == nullptr) return;
  m_target->write(level, to_wide(m_prefix + text, CP_UTF8));
}

}  // namespace log
}  // namespace replay
