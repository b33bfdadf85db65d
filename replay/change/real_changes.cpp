#include "replay/change/real_changes.h"

namespace replay {

DWORD real_changes::make(const change& c, const std::function<DWORD()>& apply) {
  if (m_observer) {
    const DWORD refused = m_observer->before(c);
    if (refused != 0) return refused;
  }
  return apply();
}

real_changes& real_layer() {
  static real_changes layer;
  return layer;
}

}  // namespace replay
