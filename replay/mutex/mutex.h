// An in-process lock on a critical section; re-entrant for the owning thread.
#pragma once

#include <windows.h>

#include "replay/mutex/scope_semantics.h"

namespace replay {

class mutex : public scope_semantics {
 public:
  mutex();
  ~mutex() override;

  // Always succeeds.
  bool lock() override;
  void unlock() override;

 private:
  CRITICAL_SECTION m_section;
};

}  // namespace replay
