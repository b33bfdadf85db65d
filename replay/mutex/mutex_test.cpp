#include "replay/mutex/mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "replay/mutex/scope.h"

namespace replay {
namespace {

// Counts lock and unlock calls; lock can be made to throw.
class counting_lock : public scope_semantics {
 public:
  bool lock() override {
    if (m_throw_on_lock) throw std::runtime_error("lock failed");
    ++m_locks;
    return m_had;
  }
  void unlock() override { ++m_unlocks; }

  int m_locks = 0;
  int m_unlocks = 0;
  bool m_throw_on_lock = false;
  bool m_had = true;
};

TEST(MutexTest, ReentrantForTheOwningThread) {
  replay::mutex lock;
  EXPECT_TRUE(lock.lock());
  EXPECT_TRUE(lock.lock());
  lock.unlock();
  lock.unlock();
}

// Unsynchronised read-modify-write under the lock: without exclusion increments get lost.
TEST(MutexTest, ExcludesOtherThreads) {
  replay::mutex lock;
  volatile long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        scope guard(&lock);
        const long value = counter;
        if (i % 100 == 0) Sleep(0);
        counter = value + 1;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(8000, counter);
}

TEST(ScopeTest, LocksForTheBlock) {
  counting_lock target;
  {
    scope guard(&target);
    EXPECT_EQ(1, target.m_locks);
    EXPECT_EQ(0, target.m_unlocks);
  }
  EXPECT_EQ(1, target.m_unlocks);
}

TEST(ScopeTest, EarlyUnlockReleasesOnce) {
  counting_lock target;
  {
    scope guard(&target);
    guard.unlock();
    EXPECT_EQ(1, target.m_unlocks);
    guard.unlock();
  }
  EXPECT_EQ(1, target.m_unlocks);
}

TEST(ScopeTest, LockAgainRelocksTheTarget) {
  counting_lock target;
  {
    scope guard(&target);
    EXPECT_TRUE(guard.lock());
    EXPECT_EQ(2, target.m_locks);
  }
  EXPECT_EQ(1, target.m_unlocks);
}

// A lock that reports it was not had (a bounded wait ran out) is not released.
TEST(ScopeTest, LockNotHadIsNotReleased) {
  counting_lock target;
  target.m_had = false;
  {
    scope guard(&target);
    EXPECT_FALSE(guard.held());
  }
  EXPECT_EQ(1, target.m_locks);
  EXPECT_EQ(0, target.m_unlocks);
}

TEST(ScopeTest, NullTargetDoesNothing) {
  scope guard(nullptr);
  EXPECT_TRUE(guard.lock());
  guard.unlock();
}

TEST(ScopeTest, FailedLockHoldsNothing) {
  counting_lock target;
  target.m_throw_on_lock = true;
  EXPECT_THROW(scope guard(&target), std::runtime_error);
  EXPECT_EQ(0, target.m_unlocks);
}

}  // namespace
}  // namespace replay
