// Keys in a report-only run: deletions and writes are planned, never made, and every later read
// through a key sees them; the physical names the plan records.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "replay/change/planned_changes.h"
#include "replay/registry2/key.h"
#include "replay/registry2/key_name.h"
#include "replay/unique_handle.h"
#include "testing/prefix.h"
#include "testing/scratch_key.h"

namespace replay {
namespace registry2 {
namespace {

const wchar_t kScratch[] = L"Software\\CorvaneTest\\Registry2_Planned";

class PlannedKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.is_valid()); }

  void seed_key(const std::wstring& subkey) {
    unique_hkey created;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(scratch_.get(), subkey.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, created.receive(), nullptr));
  }
  void seed_dword(const std::wstring& name, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(scratch_.get(), name.c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&value), sizeof(value)));
  }
  bool exists(const std::wstring& subkey) {
    unique_hkey opened;
    const bool found =
        RegOpenKeyExW(scratch_.get(), subkey.c_str(), 0, KEY_READ, opened.receive()) == 0;
    if (!found) opened.release();
    return found;
  }
  DWORD stored_dword(const std::wstring& name) {
    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(scratch_.get(), name.c_str(), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&value), &size));
    return value;
  }
  key scratch() const { return key(HKEY_CURRENT_USER).open(kScratch); }
  std::vector<std::wstring> planned_texts() const {
    std::vector<std::wstring> texts;
    for (const change& c : plan_.planned()) texts.push_back(c.text());
    return texts;
  }

  test_support::scratch_key scratch_{kScratch};
  planned_changes plan_;
};

TEST_F(PlannedKeyTest, ATreeIsPlannedChildrenFirstAndThenNoLongerOpensOrLists) {
  seed_key(L"Corvane\\Sub\\Leaf");
  seed_key(L"Kept");
  key k = scratch();
  {
    changes_scope scope(plan_);
    k.delete_key(L"Corvane", true);
    EXPECT_EQ((name_set{L"Kept"}), k.subkey_names());
    try {
      k.open(L"Corvane\\Sub");
      ADD_FAILURE() << "a planned-away key opened";
    } catch (const key_error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find("(2)")) << e.what();
    }
    EXPECT_NO_THROW(k.open(L"Kept"));
  }
  const std::wstring base = L"HKCU\\" + std::wstring(kScratch) + L"\\Corvane";
  const std::wstring view = sizeof(void*) == 8 ? L"64-bit view" : L"32-bit view";
  EXPECT_EQ((std::vector<std::wstring>{L"delete key\t" + base + L"\\Sub\\Leaf (" + view + L")\t",
                                       L"delete key\t" + base + L"\\Sub (" + view + L")\t",
                                       L"delete key\t" + base + L" (" + view + L")\t"}),
            planned_texts());
  EXPECT_TRUE(exists(L"Corvane\\Sub\\Leaf"));
  EXPECT_EQ((name_set{L"Corvane", L"Kept"}), k.subkey_names());  // the real layer again
}

TEST_F(PlannedKeyTest, PlannedValuesAreReadBackAndTheMachineKeepsItsOwn) {
  seed_dword(L"count", 3);
  seed_dword(L"gone", 1);
  seed_dword(L"kept", 7);
  key k = scratch();
  {
    changes_scope scope(plan_);
    k.set_dword(L"count", 2);
    k.delete_value(L"gone");
    EXPECT_EQ(2u, k.get_dword(L"count"));
    EXPECT_EQ(7u, k.get_dword(L"kept"));
    EXPECT_EQ((name_set{L"count", L"kept"}), k.value_names());
    DWORD type = 0;
    EXPECT_FALSE(k.query(L"gone", &type));
    EXPECT_EQ(0u, type);
    EXPECT_THROW(k.get_dword(L"gone"), value_error);
  }
  ASSERT_EQ(2u, plan_.planned().size());
  EXPECT_EQ(change_kind::set_value, plan_.planned()[0].kind);
  EXPECT_EQ(L"count", plan_.planned()[0].value);
  EXPECT_EQ(change_kind::delete_value, plan_.planned()[1].kind);
  EXPECT_EQ(3u, stored_dword(L"count"));
  EXPECT_EQ(1u, stored_dword(L"gone"));
}

TEST(KeyNameTest, NamesThePhysicalPlaceOfAKey) {
  key user = key(HKEY_CURRENT_USER).open(L"Software");
  EXPECT_EQ(L"HKCU\\Software", key_name(user.handle()));
  key software = key(HKEY_LOCAL_MACHINE).open(L"SOFTWARE");
  // A 32-bit program on 64-bit Windows reaches HKLM\SOFTWARE's 32-bit view.
  const std::wstring expected = test_support::under_wow64() && sizeof(void*) == 4
                                    ? L"HKLM\\SOFTWARE\\WOW6432NODE"
                                    : L"HKLM\\SOFTWARE";
  std::wstring name = key_name(software.handle());
  CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
  EXPECT_EQ(expected, name);
  EXPECT_EQ(L"HKCU\\Software\\X\\Y", key_name(user.handle(), L"X\\Y"));
}

}  // namespace
}  // namespace registry2
}  // namespace replay
