#include "testing/failing_changes.h"

namespace test_support {

failing_changes::failing_changes(int nth, DWORD error)
    : m_below(replay::changes()),
      m_nth(nth),
      m_error(error),
      m_any_kind(true),
      m_kind(replay::change_kind::delete_file) {
  replay::set_changes(this);
}

failing_changes::failing_changes(int nth, DWORD error, replay::change_kind kind)
    : m_below(replay::changes()), m_nth(nth), m_error(error), m_any_kind(false), m_kind(kind) {
  replay::set_changes(this);
}

failing_changes::~failing_changes() {
  replay::set_changes(&m_below);
}

DWORD failing_changes::make(const replay::change& c, const std::function<DWORD()>& apply) {
  ++m_offered;
  if (m_any_kind || c.kind == m_kind) {
    const int position = m_any_kind ? m_offered : ++m_of_kind;
    if (position == m_nth) {
      m_failed = true;
      return m_error;
    }
  }
  return m_below.make(c, apply);
}

}  // namespace test_support
