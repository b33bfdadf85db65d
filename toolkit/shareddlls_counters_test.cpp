#include "toolkit/shareddlls_counters.h"

#include <windows.h>

#include <sddl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "replay/change/planned_changes.h"
#include "replay/registry2/key.h"
#include "replay/unique_handle.h"
#include "testing/change_recorder.h"
#include "testing/log_capture.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"

namespace {

using test_support::captured_log;

using replay::registry2::key;

const wchar_t kScratch[] = L"Software\\CorvaneTest\\toolkit_shareddlls";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

const wchar_t kLauncher[] = L"C:\\Program Files\\RAVELINS\\RavelinLauncher.exe";
const wchar_t kLauncherDll[] = L"D:\\Apps\\Ravelins\\RavelinLauncher.dll";
const wchar_t kOtherLauncher[] = L"C:\\Other\\RavelinLauncher.exe";
const wchar_t kPattern[] = L"Ravelins\\RavelinLauncher";

using counters = std::map<std::wstring, DWORD>;

// HKEY_LOCAL_MACHINE is redirected into a scratch key of the current user for each test, so the
// counters under test never meet the machine's own.
class shareddlls_counters_test : public ::testing::Test {
 protected:
  void SetUp() override {
    m_scratch = std::make_unique<test_support::scratch_key>(kScratch);
    m_root = std::make_unique<key>(m_scratch->get());
    m_shared = std::make_unique<key>(m_root->open(kSharedDlls, true));
    ASSERT_TRUE(m_scratch->redirect(HKEY_LOCAL_MACHINE));
  }

  void TearDown() override {
    m_scratch->restore();
    m_shared.reset();
    m_root.reset();
    m_scratch.reset();
  }

  void seed(const counters& values) {
    for (const auto& [name, data] : values) m_shared->set_dword(name, data);
  }

  counters state() const {
    counters found;
    for (const std::wstring& name : m_shared->value_names())
      found[name] = m_shared->get_dword(name);
    return found;
  }

  // Lets the SharedDLLs key be read but not written (its DACL keeps the rights to undo that).
  void make_shared_read_only(bool read_only) {
    const wchar_t* sddl = read_only ? L"D:P(A;;KRWDSD;;;WD)" : L"D:P(A;;KA;;;WD)";
    ASSERT_TRUE(test_support::set_dacl(m_scratch->get(), 0, kSharedDlls, sddl));
  }

  std::unique_ptr<test_support::scratch_key> m_scratch;
  std::unique_ptr<key> m_root;
  std::unique_ptr<key> m_shared;
};

TEST(shareddlls_pattern, matches_anywhere_with_ascii_letters_folded) {
  struct {
    const wchar_t* name;
    const wchar_t* pattern;
    bool matches;
  } cases[] = {
      {kLauncher, kPattern, true},
      {L"c:\\program files (x86)\\ravelins\\ravelinlauncher.exe", kPattern, true},
      {kLauncherDll, kPattern, true},
      {kOtherLauncher, kPattern, false},
      {L"C:\\Ravelins\\Tracegather.exe", kPattern, false},
      {L"C:\\\u00C9RAVELINS\\RavelinLauncher.exe", kPattern, true},
      {L"C:\\RAVEL\u0130NS\\RavelinLauncher.exe", kPattern, false},  // only A to Z fold
  };
  int row = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(c.matches, matches_shareddlls_pattern(c.name, c.pattern)) << "row " << row;
    ++row;
  }
}

TEST_F(shareddlls_counters_test, sets_matching_counters_to_the_count) {
  struct {
    int count;
    counters expected;
    std::vector<std::string> changes;
  } cases[] = {
      {0,
       {{kOtherLauncher, 5}},
       {"Removed registry value C:\\Program Files\\RAVELINS\\RavelinLauncher.exe",
        "Removed registry value D:\\Apps\\Ravelins\\RavelinLauncher.dll"}},
      {1,
       {{kOtherLauncher, 5}, {kLauncher, 1}, {kLauncherDll, 1}},
       {"C:\\Program Files\\RAVELINS\\RavelinLauncher.exe is set to 1"}},
      {2,
       {{kOtherLauncher, 5}, {kLauncher, 2}, {kLauncherDll, 2}},
       {"D:\\Apps\\Ravelins\\RavelinLauncher.dll is set to 2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    seed({{kLauncher, 2}, {kLauncherDll, 1}, {kOtherLauncher, 5}});
    captured_log log;
    fix_shareddlls_counters(kPattern, c.count);
    EXPECT_EQ(c.expected, state());
    // The counters found are listed before anything changes.
    std::vector<std::string> expected_lines = {
        "Counters for Ravelins\\RavelinLauncher pattern in SharedDLLs key:",
        "   C:\\Program Files\\RAVELINS\\RavelinLauncher.exe - 2",
        "   D:\\Apps\\Ravelins\\RavelinLauncher.dll - 1"};
    expected_lines.insert(expected_lines.end(), c.changes.begin(), c.changes.end());
    EXPECT_EQ(expected_lines, log.texts());
    for (const auto& [name, data] : state()) m_shared->delete_value(name);
  }
}

// What, which value and the detail of each change: the key's name is the scratch key's.
std::vector<std::wstring> counter_changes(const std::vector<replay::change>& changes) {
  std::vector<std::wstring> lines;
  for (const replay::change& c : changes) {
    lines.push_back(std::wstring(c.kind == replay::change_kind::set_value ? L"set " : L"delete ") +
                    c.value + L" " + c.detail);
  }
  return lines;
}

// A report-only run changes no counter and plans, with the old and new count, exactly the
// changes the real run then makes.
TEST_F(shareddlls_counters_test, report_only_run_plans_the_counter_changes_with_old_and_new) {
  struct {
    int count;
    std::vector<std::wstring> changes;
    std::vector<std::string> planned_lines;
  } cases[] = {
      {2,
       {std::wstring(L"set ") + kLauncher + L" 3 -> 2",
        std::wstring(L"set ") + kLauncherDll + L" 1 -> 2"},
       {"C:\\Program Files\\RAVELINS\\RavelinLauncher.exe would be set to 2",
        "D:\\Apps\\Ravelins\\RavelinLauncher.dll would be set to 2"}},
      {0,
       {std::wstring(L"delete ") + kLauncher + L" 3 -> deleted",
        std::wstring(L"delete ") + kLauncherDll + L" 1 -> deleted"},
       {"Registry value C:\\Program Files\\RAVELINS\\RavelinLauncher.exe would be removed",
        "Registry value D:\\Apps\\Ravelins\\RavelinLauncher.dll would be removed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    const counters seeded = {{kLauncher, 3}, {kLauncherDll, 1}, {kOtherLauncher, 5}};
    seed(seeded);
    replay::planned_changes planned;
    {
      replay::changes_scope scope(planned);
      captured_log log;
      fix_shareddlls_counters(kPattern, c.count);
      const std::vector<std::string> texts = log.texts();
      ASSERT_EQ(5u, texts.size());
      EXPECT_EQ(c.planned_lines, std::vector<std::string>(texts.begin() + 3, texts.end()));
    }
    EXPECT_EQ(seeded, state());
    EXPECT_EQ(c.changes, counter_changes(planned.planned()));
    for (const replay::change& change : planned.planned()) {
      EXPECT_EQ(replay::registry_view::view_32, change.view);
    }

    test_support::change_recorder recorder;
    fix_shareddlls_counters(kPattern, c.count);
    EXPECT_EQ(test_support::change_lines(planned.planned()),
              test_support::change_lines(recorder.changes()));
    for (const auto& [name, data] : state()) m_shared->delete_value(name);
  }
}

TEST_F(shareddlls_counters_test, pattern_without_counters_writes_only_its_heading) {
  seed({{kLauncher, 2}});
  captured_log log;
  fix_shareddlls_counters(L"Ravelins\\cvhtml", 0);
  EXPECT_EQ(counters({{kLauncher, 2}}), state());
  EXPECT_EQ(std::vector<std::string>{"Counters for Ravelins\\cvhtml pattern in SharedDLLs key:"},
            log.texts());
}

TEST_F(shareddlls_counters_test, counter_that_is_not_a_dword_stops_before_any_change) {
  seed({{kLauncher, 2}});
  m_shared->set_string(kLauncherDll, L"1");
  captured_log log;
  EXPECT_THROW(fix_shareddlls_counters(kPattern, 0), replay::registry2::type_mismatch);
  EXPECT_EQ(2u, m_shared->get_dword(kLauncher));
  EXPECT_EQ(
      (std::vector<std::string>{"Counters for Ravelins\\RavelinLauncher pattern in SharedDLLs key:",
                                "   C:\\Program Files\\RAVELINS\\RavelinLauncher.exe - 2"}),
      log.texts());
}

TEST_F(shareddlls_counters_test, read_only_key_is_listed_then_the_first_change_fails) {
  seed({{kLauncher, 2}, {kLauncherDll, 1}});
  make_shared_read_only(true);
  {
    captured_log log;
    EXPECT_THROW(fix_shareddlls_counters(kPattern, 1), replay::registry2::value_error);
    EXPECT_EQ(3u, log.texts().size());
  }
  {
    captured_log log;
    EXPECT_THROW(fix_shareddlls_counters(kPattern, 0), replay::registry2::key_error);
    EXPECT_EQ(3u, log.texts().size());
  }
  make_shared_read_only(false);
  EXPECT_EQ(counters({{kLauncher, 2}, {kLauncherDll, 1}}), state());
}

TEST_F(shareddlls_counters_test, missing_key_throws_key_error) {
  m_shared.reset();
  m_root->delete_key(kSharedDlls, true);
  captured_log log;
  EXPECT_THROW(fix_shareddlls_counters(kPattern, 1), replay::registry2::key_error);
  EXPECT_TRUE(log.texts().empty());
}

}  // namespace
