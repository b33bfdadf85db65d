#include "replay/mutex/real_mutex.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <thread>
#include <vector>

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

std::string sid_text(PSID sid) {
  LPSTR text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  const std::string result = text;
  LocalFree(text);
  return result;
}

std::string own_user_sid() {
  scoped_token token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive());
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, buffer.data(), 512, &size);
  return sid_text(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// The owner, then the accounts the DACL lets in ("+SID") or keeps out ("-SID").
std::vector<std::string> security_of(const std::string& name) {
  scoped_handle handle(OpenMutexA(READ_CONTROL, FALSE, name.c_str()));
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!handle || GetSecurityInfo(handle.get(), SE_KERNEL_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                 nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return {"<unreadable>"};
  std::vector<std::string> result{owner != nullptr ? sid_text(owner) : "<no owner>"};
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    GetAce(dacl, i, &ace);
    const bool allows = static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE;
    result.push_back((allows ? "+" : "-") +
                     sid_text(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart));
  }
  if (dacl == nullptr) result.push_back("<null DACL>");
  LocalFree(descriptor);
  return result;
}

// Made by us: owned by the administrators, open to the accounts that use it and nobody else.
TEST(RealMutexTest, LockIsOpenToItsAccountsOnly) {
  const std::string name = unique_name("accounts");
  {
    real_mutex lock(name, lock_accounts::administrators);
    EXPECT_EQ((std::vector<std::string>{"S-1-5-32-544", "+S-1-5-18", "+S-1-5-32-544"}),
              security_of("Global\\" + name));
  }
  {
    real_mutex lock(name, lock_accounts::administrators_and_user);
    EXPECT_EQ((std::vector<std::string>{"S-1-5-32-544", "+S-1-5-18", "+S-1-5-32-544",
                                        "+" + own_user_sid()}),
              security_of("Global\\" + name));
  }
}

// Objects another process may have put under the lock's name before us.
struct squatter {
  const char* what;
  const char* sddl;  // security of a mutex; null for no descriptor at all
  bool event;
};

const squatter kSquatters[] = {
    {"a mutex with a null DACL", "D:NO_ACCESS_CONTROL", false},
    {"a mutex of the token's default, no descriptor", nullptr, false},
    {"a mutex owned by another account, open to all", "O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)", false},
    {"a mutex owned by another account, like ours",
     "O:S-1-5-21-1-2-3-1001D:P(A;;GA;;;SY)(A;;GA;;;BA)", false},
    {"a mutex owned by the administrators, open to all", "O:BAD:(A;;GA;;;WD)", false},
    {"a mutex owned by the administrators, open to users too",
     "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;BU)", false},
    {"an event", nullptr, true},
};

scoped_handle squat(const std::string& name, const squatter& how) {
  if (how.event) return scoped_handle(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (how.sddl != nullptr)
    ConvertStringSecurityDescriptorToSecurityDescriptorA(how.sddl, SDDL_REVISION_1, &descriptor,
                                                         nullptr);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  scoped_handle handle(
      CreateMutexA(descriptor != nullptr ? &attributes : nullptr, TRUE, name.c_str()));
  if (descriptor != nullptr) LocalFree(descriptor);
  return handle;
}

// A name taken first by someone else is not used: whoever made that object could hold it.
TEST(RealMutexTest, NameTakenByAnotherIsNotUsed) {
  for (const squatter& how : kSquatters) {
    const std::string name = unique_name("squatted");
    const scoped_handle taken = squat("Global\\" + name, how);
    ASSERT_TRUE(taken.is_valid()) << how.what;
    EXPECT_THROW(real_mutex lock(name), replay::exception) << how.what;
  }
}

// A lock that another holds is waited for no longer than its patience, and after that only
// tried: it is had again as soon as the other lets it go.
TEST(RealMutexTest, LockHeldElsewhereIsGivenUpAfterThePatience) {
  const std::string name = unique_name("patience");
  real_mutex lock(name, lock_accounts::administrators, 100);
  const scoped_handle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const scoped_handle held(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    real_mutex other(name);
    other.lock();
    SetEvent(held.get());
    WaitForSingleObject(release.get(), INFINITE);
    other.unlock();
  });
  WaitForSingleObject(held.get(), INFINITE);
  EXPECT_FALSE(lock.lock());
  {
    scope guard(&lock);
    EXPECT_FALSE(guard.held());
  }
  SetEvent(release.get());
  holder.join();
  EXPECT_TRUE(lock.lock());
  lock.unlock();
}

}  // namespace
}  // namespace replay
