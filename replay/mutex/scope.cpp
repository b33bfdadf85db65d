#include "replay/mutex/scope.h"

namespace replay {

scope::scope(scope_semantics* target) : m_target(target) {
  if (m_target != nullptr && !m_target->lock()) m_target = nullptr;
}

scope::~scope() {
  try {
    unlock();
  } catch (...) {
    // A destructor must not throw; the lock's owner ending releases it in any case.
  }
}

bool scope::lock() {
  return m_target != nullptr ? m_target->lock() : true;
}

void scope::unlock() {
  if (m_target == nullptr) return;
  scope_semantics* target = m_target;
  m_target = nullptr;
  target->unlock();
}

}  // namespace replay
