// The named lock between processes, with named_lock_holder as the other process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "replay/mutex/real_mutex.h"
#include "replay/mutex/scope.h"
#include "replay/mutex/test_helper_process.h"

namespace replay {
namespace {

using testing::start_helper;
using testing::wait_for_exit;

std::string unique_name(const char* what) {
  return std::string("corvane-test-") + what + "-" + std::to_string(GetCurrentProcessId());
}

TEST(RealMutexProcessTest, MutexAbandonedByAnEndedProcessIsTakenOver) {
  const std::string name = unique_name("process-abandon");
  real_mutex lock(name);
  auto holder = start_helper("named_lock_holder.exe", {"abandon", name});
  ASSERT_TRUE(holder.is_valid());
  ASSERT_EQ(0u, wait_for_exit(holder));
  EXPECT_TRUE(lock.lock());
  lock.unlock();
}

// The holder keeps a marker file for as long as it holds the lock: once we hold it, the marker
// must be gone.
TEST(RealMutexProcessTest, ProcessesExcludeEachOther) {
  const std::string name = unique_name("process-hold");
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string marker = std::string(temp) + name + ".held";
  DeleteFileA(marker.c_str());
  real_mutex lock(name);
  auto holder = start_helper("named_lock_holder.exe", {"hold", name, marker});
  ASSERT_TRUE(holder.is_valid());
  for (int i = 0; i < 600 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
    if (WaitForSingleObject(holder.get(), 50) == WAIT_OBJECT_0) break;
  }
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str())) << "holder never held";
  {
    scope guard(&lock);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str()));
  }
  EXPECT_EQ(0u, wait_for_exit(holder));
}

}  // namespace
}  // namespace replay
