// The named lock between processes, with named_lock_holder as the other process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "replay/mutex/real_mutex.h"
#include "replay/mutex/scope.h"
#include "testing/child_process.h"
#include "testing/prefix.h"
#include "testing/text.h"

namespace replay {
namespace {

using test_support::child_process;
using test_support::helper_program;
using test_support::quote_arguments;
using test_support::wide;

std::string unique_name(const char* what) {
  return std::string("corvane-test-") + what + "-" + std::to_string(GetCurrentProcessId());
}

TEST(RealMutexProcessTest, MutexAbandonedByAnEndedProcessIsTakenOver) {
  const std::string name = unique_name("process-abandon");
  real_mutex lock(name);
  child_process holder(helper_program(L"named_lock_holder"),
                       quote_arguments({L"abandon", wide(name)}));
  ASSERT_TRUE(holder.started());
  ASSERT_EQ(0u, holder.wait_for_exit());
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
  child_process holder(helper_program(L"named_lock_holder"),
                       quote_arguments({L"hold", wide(name), wide(marker)}));
  ASSERT_TRUE(holder.started());
  for (int i = 0; i < 600 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
    if (holder.wait(50)) break;
  }
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str())) << "holder never held";
  {
    scope guard(&lock);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str()));
  }
  EXPECT_EQ(0u, holder.wait_for_exit());
}

}  // namespace
}  // namespace replay
