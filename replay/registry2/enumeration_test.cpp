// Listing subkeys and values by index: the order of the registry, the rule for entries that do
// not fit, failures, what a report-only run has planned away, and keys reached through a view.
#include "replay/registry2/enumeration.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "replay/change/planned_changes.h"
#include "replay/registry2/key.h"
#include "replay/unique_handle.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"

namespace replay {
namespace registry2 {
namespace {

const wchar_t kScratch[] = L"Software\\CorvaneTest\\Registry2_Enumeration";

template <typename Range>
std::vector<std::wstring> names_of(Range&& range) {
  std::vector<std::wstring> names;
  for (const auto& entry : range) names.push_back(entry);
  return names;
}

std::vector<std::wstring> value_names_of(value_range&& range) {
  std::vector<std::wstring> names;
  for (const value_entry& entry : range) names.push_back(entry.name);
  return names;
}

class EnumerationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.is_valid()); }

  void seed_key(const std::wstring& subkey) {
    ASSERT_TRUE(test_support::create_key(HKEY_CURRENT_USER, 0, path(subkey)));
  }
  void seed_text(const std::wstring& name, const std::wstring& text) {
    ASSERT_TRUE(test_support::set_string(HKEY_CURRENT_USER, 0, kScratch, name, text));
  }
  static std::wstring path(const std::wstring& subkey) {
    return std::wstring(kScratch) + L"\\" + subkey;
  }
  key scratch() const { return key(HKEY_CURRENT_USER).open(kScratch); }

  test_support::scratch_key scratch_{kScratch};
};

TEST_F(EnumerationTest, ListsSubkeysAndValuesWithTypesAndData) {
  for (const wchar_t* name : {L"b", L"a", L"c"}) seed_key(name);
  seed_text(L"text", L"abc");
  const DWORD seven = 7;
  ASSERT_TRUE(test_support::set_dword(HKEY_CURRENT_USER, 0, kScratch, L"number", seven));
  const key k = scratch();

  subkey_range subkeys = k.subkeys();
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c"}), names_of(subkeys));
  EXPECT_EQ(ERROR_SUCCESS, subkeys.error());
  EXPECT_EQ(0u, subkeys.skipped());

  std::vector<value_entry> values;
  for (const value_entry& entry : k.values(64)) values.push_back(entry);
  ASSERT_EQ(2u, values.size());
  EXPECT_EQ(L"number", values[0].name);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), values[0].type);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&seven), 4), values[0].data);
  EXPECT_EQ(L"text", values[1].name);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), values[1].type);
  EXPECT_EQ(std::string("a\0b\0c\0\0\0", 8), values[1].data);
  EXPECT_EQ(L"abc", values[1].text());

  // Without data the names and types only.
  for (const value_entry& entry : k.values()) EXPECT_TRUE(entry.data.empty());
}

// The one rule: what does not fit is never handed out cut, it is counted, and the listing goes
// on with the next entry.
TEST_F(EnumerationTest, EntriesThatDoNotFitAreSkippedCountedAndNeverCut) {
  seed_text(L"a", L"short");
  seed_text(std::wstring(40, L'b'), L"short");
  seed_text(L"c", std::wstring(100, L'x'));
  seed_text(L"d", L"short");
  const key k = scratch();

  value_range names = k.values(0, 39);
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"c", L"d"}), value_names_of(std::move(names)));

  value_range with_data = k.values(64, 39);
  std::vector<std::wstring> listed;
  for (const value_entry& entry : with_data) listed.push_back(entry.name);
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"d"}), listed);
  EXPECT_EQ(2u, with_data.skipped());
  EXPECT_EQ(ERROR_SUCCESS, with_data.error());

  // With the default limits every name the registry can hold is listed whole.
  value_range whole = k.values();
  EXPECT_EQ(4u, value_names_of(std::move(whole)).size());

  // Key names end at 255 characters: a shorter limit skips them, the complete listing takes them.
  seed_key(std::wstring(255, L'k'));
  subkey_range subkeys = k.subkeys(254);
  EXPECT_TRUE(names_of(subkeys).empty());
  EXPECT_EQ(1u, subkeys.skipped());
  EXPECT_EQ((name_set{std::wstring(255, L'k')}), k.subkey_names());
}

TEST_F(EnumerationTest, AFailedCallEndsTheListingWithItsCode) {
  seed_key(L"a");
  unique_hkey write_only;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CURRENT_USER, kScratch, 0, KEY_SET_VALUE, write_only.receive()));
  subkey_range subkeys(write_only.get());
  EXPECT_TRUE(names_of(subkeys).empty());
  EXPECT_EQ(ERROR_ACCESS_DENIED, subkeys.error());
  value_range values(write_only.get());
  EXPECT_TRUE(value_names_of(std::move(values)).empty());
}

TEST_F(EnumerationTest, AReportOnlyRunDoesNotListWhatItHasPlannedAway) {
  for (const wchar_t* name : {L"gone", L"kept"}) seed_key(name);
  seed_text(L"deleted", L"x");
  seed_text(L"stays", L"x");
  key k = scratch();
  planned_changes plan;
  changes_scope scope(plan);
  k.delete_key(L"gone", false);
  k.delete_value(L"deleted");
  EXPECT_EQ((std::vector<std::wstring>{L"kept"}), names_of(k.subkeys()));
  EXPECT_EQ((std::vector<std::wstring>{L"stays"}), value_names_of(k.values()));
  // A key opened below another is named from it and is gone once planned away.
  LONG code = ERROR_SUCCESS;
  EXPECT_FALSE(k.try_open(L"gone", KEY_READ, &code).has_value());
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, code);
  EXPECT_TRUE(k.try_open(L"kept", KEY_READ).has_value());
  EXPECT_FALSE(key::try_open(HKEY_CURRENT_USER, path(L"gone"), KEY_READ, view::own).has_value());
  EXPECT_TRUE(test_support::key_exists(HKEY_CURRENT_USER, 0, path(L"gone")));
}

TEST_F(EnumerationTest, TryOpenAsksForExactlyTheAccessGiven) {
  seed_key(L"a");
  LONG code = ERROR_SUCCESS;
  std::optional<key> read = scratch().try_open(L"a", KEY_READ, &code);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(ERROR_SUCCESS, code);
  EXPECT_THROW(read->set_string(L"v", L"x"), value_error);  // read access alone: refused
  EXPECT_FALSE(scratch().try_open(L"missing", KEY_READ, &code).has_value());
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, code);
}

// Keys reached through an explicit view stay in it: opened, created, listed and deleted there,
// and named with it in a report.
class ViewTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (REGSAM v : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      test_support::delete_tree(HKEY_LOCAL_MACHINE, v, kPath);
    }
  }
  static constexpr const wchar_t* kPath = L"Software\\CorvaneTest\\Registry2_View";
};

TEST_F(ViewTest, AKeyStaysInTheViewItWasReachedThrough) {
  // 64-bit Windows keeps the two views apart, for a 32-bit program under WOW64 and a 64-bit one.
  const bool two_views = test_support::under_wow64() || sizeof(void*) == 8;
  for (view v : {view::wow64_64, view::wow64_32}) {
    const REGSAM flags = view_flags(v);
    const REGSAM other = flags == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    key machine(HKEY_LOCAL_MACHINE, v);
    EXPECT_EQ(v, machine.reached_through());
    key made = machine.open(std::wstring(kPath) + L"\\Made\\Child", true);
    EXPECT_EQ(v, made.reached_through());
    EXPECT_TRUE(
        test_support::key_exists(HKEY_LOCAL_MACHINE, flags, std::wstring(kPath) + L"\\Made"));
    // On 64-bit Windows the two views are apart; on 32-bit Windows there is one.
    EXPECT_EQ(!two_views, test_support::key_exists(HKEY_LOCAL_MACHINE, other, kPath));
    key parent = machine.open(kPath);
    EXPECT_EQ((name_set{L"Made"}), parent.subkey_names());
    ASSERT_TRUE(parent.try_open(L"Made", KEY_READ).has_value());
    EXPECT_EQ(v, parent.try_open(L"Made", KEY_READ)->reached_through());
    {
      planned_changes plan;
      changes_scope scope(plan);
      parent.delete_key(L"Made", true);
      ASSERT_EQ(2u, plan.planned().size());
      EXPECT_EQ(registry_view_of(flags), plan.planned()[0].view);
    }
    parent.delete_key(L"Made", true);
    EXPECT_FALSE(
        test_support::key_exists(HKEY_LOCAL_MACHINE, flags, std::wstring(kPath) + L"\\Made"));
    TearDown();
  }
}

}  // namespace
}  // namespace registry2
}  // namespace replay
