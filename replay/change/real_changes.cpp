#include "replay/change/real_changes.h"

namespace replay {

DWORD real_changes::make(const change& c, const std::function<DWORD()>& apply) {
  ++m_count;
  const int of_kind = ++m_counts[static_cast<int>(c.kind)];
  if (m_fail_nth > 0) {
    const bool counted = m_fail_any_kind || c.kind == m_fail_kind;
    if (counted && (m_fail_any_kind ? m_count : of_kind) == m_fail_nth) return m_fail_error;
  }
  if (m_observer) {
    const DWORD refused = m_observer->before(c);
    if (refused != 0) return refused;
  }
  return apply();
}

void real_changes::fail_change_of(int nth, DWORD error, const change_kind* kind) {
  m_fail_nth = nth;
  m_fail_error = error;
  m_fail_any_kind = kind == nullptr;
  if (kind) m_fail_kind = *kind;
  m_count = 0;
  for (int& count : m_counts) count = 0;
}

real_changes& real_layer() {
  static real_changes layer;
  return layer;
}

}  // namespace replay
