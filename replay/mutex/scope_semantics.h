// The lockable base of the library's locks: anything a replay::scope can hold.
#pragma once

namespace replay {

class scope_semantics {
 public:
  virtual ~scope_semantics() = default;

  // Acquires the lock; returns whether it is now held.
  virtual bool lock() = 0;
  virtual void unlock() = 0;

 protected:
  scope_semantics() = default;
  scope_semantics(const scope_semantics&) = delete;
  scope_semantics& operator=(const scope_semantics&) = delete;
};

}  // namespace replay
