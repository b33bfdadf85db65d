// The handle owners against real events: which handles an owner closes, when, and how often.
#include "replay/unique_handle.h"

#include <gtest/gtest.h>

#include <optional>
#include <type_traits>
#include <vector>

namespace {

static_assert(!std::is_copy_constructible_v<replay::scoped_handle>);
static_assert(!std::is_copy_assignable_v<replay::scoped_handle>);
static_assert(!std::is_convertible_v<replay::scoped_token, replay::scoped_handle>,
              "a token owner is its own type");

// The kernel kind, with every close recorded before it is done.
struct recording_kernel : replay::handle_traits::kernel {
  static std::vector<HANDLE>& closed() {
    static std::vector<HANDLE> handles;
    return handles;
  }
  static void close(HANDLE value) {
    closed().push_back(value);
    kernel::close(value);
  }
};
using recorded_handle = replay::unique_handle<recording_kernel>;

const std::vector<HANDLE>& closed() {
  return recording_kernel::closed();
}

HANDLE create_event() {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_NE(nullptr, event);
  return event;
}

bool is_open(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

class UniqueHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { recording_kernel::closed().clear(); }
};

TEST_F(UniqueHandleTest, MovedFromOwnersLeaveTheHandleOpen) {
  HANDLE event = create_event();
  recorded_handle target;
  {
    recorded_handle source(event);
    recorded_handle middle(std::move(source));
    EXPECT_FALSE(source.is_valid());
    target = std::move(middle);
    EXPECT_FALSE(middle.is_valid());
  }  // both moved-from owners end here
  EXPECT_EQ(event, target.get());
  EXPECT_TRUE(target);
  EXPECT_TRUE(SetEvent(target.get()));
  EXPECT_TRUE(is_open(event));
  EXPECT_TRUE(closed().empty());
}

// Every way an owner lets go of its handle, release() aside. Where the owner takes a second
// handle in its place, that one must be owned in turn.
struct ending {
  const char* name;
  bool takes_other;
  void (*apply)(std::optional<recorded_handle>& owner, HANDLE other);
};

const ending kEndings[] = {
    {"destruction", false, [](std::optional<recorded_handle>& owner, HANDLE) { owner.reset(); }},
    {"reset()", false, [](std::optional<recorded_handle>& owner, HANDLE) { owner->reset(); }},
    {"reset(other)", true,
     [](std::optional<recorded_handle>& owner, HANDLE other) { owner->reset(other); }},
    {"move assignment", true,
     [](std::optional<recorded_handle>& owner, HANDLE other) { *owner = recorded_handle(other); }},
    {"receive()", true,
     [](std::optional<recorded_handle>& owner, HANDLE other) { *owner->receive() = other; }},
};

TEST_F(UniqueHandleTest, EachEndingClosesTheHandleOnce) {
  for (const ending& e : kEndings) {
    SCOPED_TRACE(e.name);
    recording_kernel::closed().clear();
    HANDLE event = create_event();
    HANDLE other = create_event();
    {
      std::optional<recorded_handle> owner(std::in_place, event);
      e.apply(owner, other);
      EXPECT_FALSE(is_open(event));
      EXPECT_EQ(std::vector<HANDLE>{event}, closed());
      if (e.takes_other) {
        EXPECT_EQ(other, owner->get());
        EXPECT_TRUE(SetEvent(owner->get()));
      }
    }
    if (e.takes_other) {
      EXPECT_EQ((std::vector<HANDLE>{event, other}), closed());
      EXPECT_FALSE(is_open(other));
    } else {
      CloseHandle(other);
    }
  }
}

TEST_F(UniqueHandleTest, ReleaseGivesTheHandleUpOpen) {
  HANDLE event = create_event();
  HANDLE released = nullptr;
  {
    recorded_handle owner(event);
    released = owner.release();
    EXPECT_FALSE(owner.is_valid());
  }
  EXPECT_EQ(event, released);
  EXPECT_TRUE(SetEvent(released));
  EXPECT_TRUE(closed().empty());
  EXPECT_TRUE(CloseHandle(released));
}

// CreateFile fails with INVALID_HANDLE_VALUE, most other calls with null: neither is a handle
// to close.
TEST_F(UniqueHandleTest, NullAndInvalidHandleValueAreNoKernelHandle) {
  for (HANDLE empty : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    {
      recorded_handle owner(empty);
      EXPECT_FALSE(owner.is_valid());
      EXPECT_FALSE(owner);
      owner.reset();
      owner.reset(empty);
    }
    EXPECT_TRUE(closed().empty()) << empty;
  }
}

// An owner of each kind, default-made or holding what its opening call returns on failure,
// holds no handle (and so closes none).
template <typename Owner>
void expect_no_handle(typename Owner::type failure) {
  EXPECT_FALSE(Owner().is_valid());
  EXPECT_FALSE(Owner(failure).is_valid());
}

TEST(UniqueHandleKindsTest, FailureValuesAreNoHandle) {
  expect_no_handle<replay::scoped_handle>(nullptr);
  expect_no_handle<replay::scoped_handle>(INVALID_HANDLE_VALUE);
  expect_no_handle<replay::scoped_token>(nullptr);
  expect_no_handle<replay::scoped_snapshot>(INVALID_HANDLE_VALUE);
  expect_no_handle<replay::scoped_service_handle>(nullptr);
  expect_no_handle<replay::find_handle>(INVALID_HANDLE_VALUE);
  expect_no_handle<replay::unique_module>(nullptr);
  expect_no_handle<replay::unique_hkey>(nullptr);
}

}  // namespace
