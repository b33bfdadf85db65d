// Holds a lockable for the length of a block. A scope is itself lockable: unlock() releases
// the target early and forgets it.
#pragma once

#include "replay/mutex/scope_semantics.h"

namespace replay {

class scope : public scope_semantics {
 public:
  // Locks the target unless it is null. When that lock throws, or reports that it was not had
  // (a bounded wait that ran out), nothing is held.
  explicit scope(scope_semantics* target);
  // Unlocks the target if it is still held; a failure to release is swallowed here.
  ~scope() override;

  // Locks the target again (true when there is none).
  bool lock() override;
  // Unlocks the target and forgets it.
  void unlock() override;

  // Whether the scope holds a target.
  bool held() const { return m_target != nullptr; }

 private:
  scope_semantics* m_target;
};

}  // namespace replay
