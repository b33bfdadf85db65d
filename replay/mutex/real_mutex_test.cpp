#include "replay/mutex/real_mutex.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "replay/exception/exception.h"
#include "replay/mutex/scope.h"
#include "replay/unique_handle.h"

namespace replay {
namespace {

std::string unique_name(const char* what) {
  return std::string("corvane-test-") + what + "-" + std::to_string(GetCurrentProcessId());
}

struct name_case {
  const char* name;
  unsigned major_version;
  const char* expected;
};

const name_case kNameCases[] = {
    {"log-C:_Temp_x", 5, "Global\\log-C:_Temp_x"},
    {"plain", 6, "Global\\plain"},
    {"Local\\mine", 6, "Local\\mine"},
    {"Global\\already", 10, "Global\\already"},
    {"Global\\old", 4, "old"},
    {"a\\b\\c", 4, "c"},
    {"plain", 4, "plain"},
};

TEST(RealMutexTest, KernelNameBySystemVersion) {
  for (const auto& c : kNameCases) {
    EXPECT_EQ(c.expected, real_mutex::kernel_name(c.name, c.major_version))
        << c.name << " on " << c.major_version;
  }
}

TEST(RealMutexTest, PlainNameLivesInTheGlobalNamespace) {
  const std::string name = unique_name("global");
  real_mutex lock(name);
  scoped_handle opened(OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\" + name).c_str()));
  EXPECT_TRUE(opened.is_valid());
}

TEST(RealMutexTest, NameWithBackslashIsUsedUnchanged) {
  const std::string name = "Local\\" + unique_name("local");
  real_mutex lock(name);
  scoped_handle opened(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
  EXPECT_TRUE(opened.is_valid());
}

TEST(RealMutexTest, BadNameThrowsWithTheErrorCode) {
  // A name in a namespace that does not exist cannot be created or opened.
  try {
    real_mutex lock("NoSuchNamespace\\x");
    FAIL() << "no exception";
  } catch (const replay::exception& e) {
    EXPECT_EQ(0u, std::string(e.what()).find("[OpenMutex returned 0x")) << e.what();
  }
}

// Whether another thread can take the mutex of that name at once.
bool free_for_another_thread(const std::string& name) {
  bool taken = false;
  std::thread other([&] {
    scoped_handle handle(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    const DWORD result = WaitForSingleObject(handle.get(), 0);
    taken = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (taken) ReleaseMutex(handle.get());
  });
  other.join();
  return taken;
}

TEST(RealMutexTest, ObjectsOfOneNameExcludeOtherThreads) {
  const std::string name = unique_name("exclude");
  real_mutex first(name);
  real_mutex second(name);
  {
    scope guard(&first);
    EXPECT_FALSE(free_for_another_thread("Global\\" + name));
  }
  EXPECT_TRUE(free_for_another_thread("Global\\" + name));
  {
    scope guard(&second);
    EXPECT_FALSE(free_for_another_thread("Global\\" + name));
  }
}

TEST(RealMutexTest, MutexAbandonedByAThreadIsTakenOver) {
  const std::string name = unique_name("abandon");
  real_mutex lock(name);
  std::thread owner([&] { real_mutex(name).lock(); });  // ends without unlocking
  owner.join();
  EXPECT_TRUE(lock.lock());
  lock.unlock();
}

TEST(RealMutexTest, UnlockWithoutOwnershipThrows) {
  real_mutex lock(unique_name("unowned"));
  try {
    lock.unlock();
    FAIL() << "no exception";
  } catch (const replay::exception& e) {
    EXPECT_EQ(0u, std::string(e.what()).find("[ReleaseMutex returned 0x")) << e.what();
  }
}

}  // namespace
}  // namespace replay
