#include "testing/failing_changes.h"

#include <gtest/gtest.h>

#include <vector>

#include "replay/change/real_changes.h"

namespace test_support {
namespace {

using replay::change;
using replay::change_kind;

change make_change(change_kind kind, const std::wstring& where) {
  change c;
  c.kind = kind;
  c.where = where;
  return c;
}

// Counts how often the real change was asked for.
struct applied_count {
  int calls = 0;
  std::function<DWORD()> apply() {
    return [this] {
      ++calls;
      return DWORD(0);
    };
  }
};

// Sees each change the layer below is given.
struct seen_changes : replay::change_observer {
  std::vector<std::wstring> seen;
  DWORD before(const change& c) override {
    seen.push_back(c.where);
    return 0;
  }
};

TEST(FailingChangesTest, FailsTheNthChangeOfAKindWithoutMakingItOrShowingItBelow) {
  replay::real_changes below;
  seen_changes observer;
  below.set_observer(&observer);
  const replay::changes_scope scope(below);
  applied_count applied;
  const change file = make_change(change_kind::delete_file, L"C:\\a");
  const change key = make_change(change_kind::delete_key, L"HKLM\\X");
  {
    failing_changes layer(2, ERROR_SHARING_VIOLATION, change_kind::delete_file);
    EXPECT_EQ(&layer, &replay::changes());
    EXPECT_EQ(0u, replay::changes().make(file, applied.apply()));
    EXPECT_EQ(0u, replay::changes().make(key, applied.apply()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION),
              replay::changes().make(file, applied.apply()));
    EXPECT_EQ(0u, replay::changes().make(file, applied.apply()));
    EXPECT_TRUE(layer.failed());
  }
  EXPECT_EQ(3, applied.calls);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\a", L"HKLM\\X", L"C:\\a"}), observer.seen);
  EXPECT_EQ(&below, &replay::changes()) << "the layer below is back";
}

TEST(FailingChangesTest, WithoutAKindCountsEveryChange) {
  applied_count applied;
  {
    failing_changes layer(2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(0u, replay::changes().make(make_change(change_kind::delete_key, L"HKLM\\X"),
                                         applied.apply()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              replay::changes().make(make_change(change_kind::delete_file, L"C:\\nowhere"),
                                     applied.apply()));
    EXPECT_EQ(2, layer.offered());
  }
  EXPECT_EQ(1, applied.calls);
  EXPECT_EQ(&replay::real_layer(), &replay::changes());
}

}  // namespace
}  // namespace test_support
