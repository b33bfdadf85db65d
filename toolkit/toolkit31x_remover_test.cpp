// The framework remover against a framework installation seeded in the prefix: its registration
// list, folders, installer components, SharedDLLs counters, service and service program.
#include "toolkit/toolkit31x_remover.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cleanup/launch.h"
#include "config/archive_text.h"
#include "config/protected_file.h"
#include "gtest/gtest.h"
#include "replay/change/planned_changes.h"
#include "replay/exception/exception.h"
#include "replay/unicode/unicode.h"
#include "testing/change_recorder.h"
#include "testing/failing_changes.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/text.h"
#include "toolkit/toolkit31x_fixture_test_util.h"

namespace {

using namespace test_support;

namespace fx = toolkit_fixture;
using fx::product;
using counter_map = std::map<std::wstring, DWORD>;

int index_of(const std::vector<std::string>& lines, const std::string& text) {
  auto found = std::find(lines.begin(), lines.end(), text);
  return found == lines.end() ? -1 : static_cast<int>(found - lines.begin());
}

int count_of(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

std::wstring temp_file(const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

class toolkit31x_remover_test : public ::testing::Test {
 protected:
  void SetUp() override {
    fx::remove_all();
    m_remover = std::make_unique<toolkit31x_remover>(fx::kVendor, L"Suite", fx::kServiceName,
                                                     fx::kServiceExe);
    m_install = m_remover->install_dir();
    m_cfg = m_remover->get_product_cfg_path();
  }

  void TearDown() override {
    for (const char* name : {"CORVANE_STANDIN_STOP_EXIT", "CORVANE_STANDIN_UNINSTALL_EXIT",
                             "CORVANE_STANDIN_RECORD"}) {
      SetEnvironmentVariableA(name, nullptr);
    }
    DeleteFileW(temp_file(L"tk_standin_record.txt").c_str());
    fx::remove_all();
  }

  // The framework's files, data folders, components and counters as an installation leaves
  // them; `with_service_program` places the stand-in as the suite's service program.
  void seed_framework(bool with_service_program) {
    ASSERT_TRUE(seed_files({{m_install + L"RavelinLauncher.exe"},
                            {m_install + L"cvhtml.dll"},
                            {m_install + L"Tracegather.exe"},
                            {m_install + L"Languages\\en.lng"},
                            {m_install + L"Languages\\de\\de.lng"},
                            // a product's own folder stays
                            {m_install + L"Corvane\\corvane.exe"},
                            {fx::common_appdata() + L"Ravelins\\Suite\\cache.dat"},
                            {fx::common_appdata() + L"Ravelins\\Programs Bar\\bar.dat"},
                            {fx::appdata() + L"Ravelins\\Suite\\user.dat"},
                            {fx::other_profile_suite_folder() + L"\\user.dat"}}));
    if (with_service_program) {
      ASSERT_TRUE(CopyFileW((program_folder() + L"suite_service_standin.exe").c_str(),
                            (m_install + fx::kServiceExe).c_str(), FALSE));
    }
    fx::seed_components({
        {L"11111111111111111111111111111111", m_install + L"RavelinLauncher.exe"},
        {L"22222222222222222222222222222222", m_install + L"RavelinSuiteService.exe"},
        {L"33333333333333333333333333333333", m_install + L"cvhtml.dll"},
        {L"44444444444444444444444444444444", m_install + L"Tracegather.exe"},
        {L"55555555555555555555555555555555", L"C:\\Other\\Corvane\\agent.exe"},
    });
    for (const wchar_t* file :
         {L"RavelinLauncher.exe", L"RavelinSuiteService.exe", L"cvhtml.dll", L"Tracegather.exe"}) {
      fx::set_counter(KEY_WOW64_32KEY, m_install + file, 2);
    }
    fx::set_counter(KEY_WOW64_32KEY, L"C:\\Other\\Ravelins.txt\\RavelinLauncher.exe", 3);
  }

  // What is left of the seeded installation.
  bool install_files_left() const { return !files_in(m_install).empty(); }
  bool data_left() const {
    return exists(fx::common_appdata() + L"Ravelins") || exists(fx::appdata() + L"Ravelins") ||
           exists(fx::other_profile_suite_folder());
  }

  // kHangs makes the stand-in never end.
  static constexpr int kHangs = -1;
  static std::string exit_text(int exit_code) {
    return exit_code == kHangs ? "hang" : std::to_string(exit_code);
  }
  void use_standin(int stop_exit, int uninstall_exit) {
    SetEnvironmentVariableA("CORVANE_STANDIN_STOP_EXIT", exit_text(stop_exit).c_str());
    SetEnvironmentVariableA("CORVANE_STANDIN_UNINSTALL_EXIT", exit_text(uninstall_exit).c_str());
    SetEnvironmentVariableW(L"CORVANE_STANDIN_RECORD", temp_file(L"tk_standin_record.txt").c_str());
  }

  std::unique_ptr<toolkit31x_remover> m_remover;
  std::wstring m_install;
  std::wstring m_cfg;
};

TEST_F(toolkit31x_remover_test, paths_follow_the_shell_folders) {
  EXPECT_EQ(fx::program_files() + L"Ravelins\\", m_install);
  EXPECT_EQ(fx::common_appdata() + L"Ravelins\\Suite\\product.cfg", m_cfg);
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}});
  EXPECT_EQ(m_install + L"Corvane\\", m_remover->get_product_install_folder(L"CVPRO"));
  EXPECT_EQ(fx::appdata() + L"Ravelins\\Corvane\\",
            m_remover->get_product_appdata_folder(L"CVPRO"));
  EXPECT_EQ(fx::common_appdata() + L"Ravelins\\Corvane\\",
            m_remover->get_product_common_data_folder(L"CVPRO"));
  // A code without entry gives the vendor-level folder and one more backslash.
  EXPECT_EQ(m_install + L"\\", m_remover->get_product_install_folder(L"QLPRO"));
}

TEST_F(toolkit31x_remover_test, codes_match_exactly_and_the_first_entry_wins) {
  fx::write_products(
      m_cfg, {{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}, {L"CVPRO", L"Corvane Old"}});
  captured_log log;
  EXPECT_EQ(3, m_remover->count_products_registered_in_toolkit_31x());
  EXPECT_TRUE(m_remover->is_product_registered_in_toolkit_31x(L"CVPRO"));
  EXPECT_FALSE(m_remover->is_product_registered_in_toolkit_31x(L"cvpro"));
  EXPECT_FALSE(m_remover->is_product_registered_in_toolkit_31x(L"CVPRO "));
  EXPECT_EQ(L"Corvane", m_remover->get_product_name(L"CVPRO"));
  EXPECT_EQ(L"", m_remover->get_product_name(L"Cvpro"));
  EXPECT_EQ((std::vector<std::string>{
                "Count products registered in Dizavad 3.1.x", "   number of products = 3", "",
                "Check if CVPRO is registered in Dizavad 3.1.x", "CVPRO found in product list",
                "Check if cvpro is registered in Dizavad 3.1.x",
                "Check if CVPRO  is registered in Dizavad 3.1.x"}),
            log.texts());
}

TEST_F(toolkit31x_remover_test, unregistering_removes_only_the_first_matching_entry) {
  fx::write_products(
      m_cfg, {{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}, {L"CVPRO", L"Corvane Old"}});
  captured_log log;
  m_remover->unregister_product_from_toolkit_31x(L"CVPRO");
  EXPECT_EQ((std::vector<product>{{L"TOOLKIT", L"Dizavad"}, {L"CVPRO", L"Corvane Old"}}),
            fx::read_products(m_cfg));
  EXPECT_EQ(
      (std::vector<std::string>{"Unregister CVPRO from Dizavad 3.1.x", "'CVPRO' unregistered"}),
      log.texts());
  EXPECT_FALSE(exists(m_cfg + L".new"));
}

TEST_F(toolkit31x_remover_test, unregistering_an_absent_code_writes_nothing) {
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}});
  const std::string before = config::read_raw_file(m_cfg);
  for (const wchar_t* code : {L"cvpro", L"QLPRO"}) {
    captured_log log;
    m_remover->unregister_product_from_toolkit_31x(code);
    const std::string name = utf8(code);
    EXPECT_EQ(
        (std::vector<std::string>{"Unregister " + name + " from Dizavad 3.1.x",
                                  "PRODUCT " + name + " WAS NOT REGISTERED in Dizavad 3.1.x", ""}),
        log.texts());
  }
  EXPECT_EQ(before, config::read_raw_file(m_cfg));
  EXPECT_FALSE(exists(m_cfg + L".new"));
}

// Only a list that does not exist means no product; one that exists but cannot be read leaves
// the number unknown.
TEST_F(toolkit31x_remover_test, count_tells_a_missing_list_from_an_unreadable_one) {
  struct {
    const char* name;
    void (*seed)(const std::wstring& cfg);
    int count;
  } cases[] = {
      {"no folder", [](const std::wstring&) {}, 0},
      {"no file", [](const std::wstring& cfg) { EXPECT_TRUE(make_file(cfg + L".txt")); }, 0},
      {"empty list", [](const std::wstring& cfg) { fx::write_products(cfg, {}); }, 0},
      {"only .new",
       [](const std::wstring& cfg) {
         config::write_protected_file(
             cfg + L".new", config::to_archive_text(config::products_impl{{{L"A", L"a", L""}}}));
       },
       1},
      {"plain xml",
       [](const std::wstring& cfg) {
         config::write_raw_file(cfg, config::to_archive_text(config::products_impl{}));
       },
       toolkit_remover::unknown_product_count},
      {"empty file", [](const std::wstring& cfg) { config::write_raw_file(cfg, ""); },
       toolkit_remover::unknown_product_count},
      {"damaged record",
       [](const std::wstring& cfg) {
         config::write_protected_file(cfg, "<?xml version=\"1.0\"?>");
       },
       toolkit_remover::unknown_product_count},
      {"damaged .new only",
       [](const std::wstring& cfg) { config::write_raw_file(cfg + L".new", "garbage"); },
       toolkit_remover::unknown_product_count},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    remove_forced(fx::common_appdata() + L"Ravelins");
    if (std::string(c.name) != "no folder") make_folder(m_cfg.substr(0, m_cfg.rfind(L'\\')));
    c.seed(m_cfg);
    captured_log log;
    EXPECT_EQ(c.count, m_remover->count_products_registered_in_toolkit_31x());
    const bool unknown = c.count == toolkit_remover::unknown_product_count;
    EXPECT_EQ(unknown, log.contains("ATTENTION: product.cfg exists but cannot be read"));
    EXPECT_EQ(unknown, log.contains("   number of products is unknown"));
  }
}

TEST_F(toolkit31x_remover_test, reads_the_user_email_from_the_suite_configuration) {
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}});
  const std::wstring suite_cfg = fx::common_appdata() + L"Ravelins\\Corvane\\suite.cfg";
  make_folder(suite_cfg.substr(0, suite_cfg.rfind(L'\\')));
  struct {
    const wchar_t* user;
    const wchar_t* site;
    std::string address;
  } cases[] = {
      {L"anna", L"example.com", "anna@example.com"},
      {L"", L"", ""},
      {L"anna", L"", "anna@"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    config::suite_impl suite;
    suite.m_user_name = c.user;
    suite.m_user_site = c.site;
    config::write_protected_file(suite_cfg, config::to_archive_text(suite));
    captured_log log;
    EXPECT_EQ(c.address, m_remover->read_user_email_from_toolkit_31x(L"CVPRO"));
    std::vector<std::string> expected = {"Try to read user e-mail from Dizavad 3.1.x"};
    expected.push_back(c.address.empty() ? ""
                                         : "Email set to " + c.address +
                                               " from suite config of ToolKit version 3.1.x");
    EXPECT_EQ(expected, log.texts());
  }
  DeleteFileW(suite_cfg.c_str());
  captured_log log;
  EXPECT_EQ("", m_remover->read_user_email_from_toolkit_31x(L"CVPRO"));
  EXPECT_TRUE(log.contains("exception in read_user_email_from_toolkit_31x(), "));
}

// The counters follow the products that use the framework: TOOLKIT is the framework's own
// entry, QLPRO and MZPRO together are one installation.
TEST_F(toolkit31x_remover_test, counter_repair_counts_the_products_that_use_the_framework) {
  struct {
    std::vector<product> products;
    int n;
  } cases[] = {
      {{{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}}, 1},
      {{{L"TOOLKIT", L"Dizavad"}, {L"QLPRO", L"Q"}, {L"MZPRO", L"M"}}, 1},
      {{{L"TOOLKIT", L"Dizavad"}, {L"QLPRO", L"Q"}}, 1},
      {{{L"QLPRO", L"Q"}, {L"MZPRO", L"M"}}, 1},
      {{{L"CVPRO", L"Corvane"}, {L"QLPRO", L"Q"}}, 2},
      {{{L"toolkit", L"Dizavad"}}, 1},
      {{}, 0},
  };
  const std::wstring launcher = m_install + L"RavelinLauncher.exe";
  const std::wstring library = m_install + L"cvhtml.dll";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    fx::write_products(m_cfg, c.products);
    fx::set_counter(KEY_WOW64_32KEY, launcher, 2);
    fx::set_counter(KEY_WOW64_32KEY, library, 1);
    captured_log log;
    m_remover->fix_toolkit_counters_in_shareddlls();
    const std::vector<std::string> lines = log.texts();
    EXPECT_NE(-1, index_of(lines,
                           "Number of products with Dizavad according to configurations "
                           "files: " +
                               std::to_string(c.n)));
    // No registration checks when no product is registered.
    EXPECT_EQ(c.products.empty(), index_of(lines,
                                           "Check if TOOLKIT is registered in Dizavad "
                                           "3.1.x") == -1);
    const counter_map counters = fx::counters(KEY_WOW64_32KEY);
    if (c.n == 0) {
      EXPECT_TRUE(counters.empty());
      EXPECT_NE(-1, index_of(lines, "Removed registry value " + utf8(launcher)));
      continue;
    }
    EXPECT_EQ(counter_map({{launcher, DWORD(c.n)}, {library, DWORD(c.n)}}), counters);
    EXPECT_EQ(c.n != 2 ? 1 : 0, count_of(lines, utf8(launcher) + " is set to 1"));
    EXPECT_EQ(c.n != 1 ? 1 : 0, count_of(lines, utf8(library) + " is set to 2"));
    for (const wchar_t* pattern :
         {L"RavelinLauncher", L"RavelinSuiteService", L"Tracegather", L"cvhtml"}) {
      EXPECT_EQ(1, count_of(lines, "Counters for Ravelins\\" + utf8(pattern) +
                                       " pattern in SharedDLLs key:"));
    }
  }
}

// A counter that is not a REG_DWORD ends the repair at its pattern: the patterns before it are
// done, the ones after it are left as they are.
TEST_F(toolkit31x_remover_test, counter_repair_stops_at_a_counter_that_is_not_a_dword) {
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}, {L"QLPRO", L"Q"}});
  const std::wstring launcher = m_install + L"RavelinLauncher.exe";
  const std::wstring service = m_install + L"RavelinSuiteService.exe";
  const std::wstring tracegather = m_install + L"Tracegather.exe";
  fx::set_counter(KEY_WOW64_32KEY, launcher, 1);
  fx::set_text_counter(KEY_WOW64_32KEY, service, L"1");
  fx::set_counter(KEY_WOW64_32KEY, tracegather, 1);
  captured_log log;
  m_remover->remove_toolkit_31x();
  const counter_map counters = fx::counters(KEY_WOW64_32KEY);
  EXPECT_EQ(2u, counters.at(launcher));
  EXPECT_EQ(1u, counters.at(tracegather));
  const std::vector<std::string> lines = log.texts();
  EXPECT_EQ("Counters for Ravelins\\RavelinSuiteService pattern in SharedDLLs key:", lines.back());
  EXPECT_NE(-1, index_of(lines, utf8(launcher) + " is set to 2"));
}

// With CVPRO unregistered only TOOLKIT is left: the framework goes, product.cfg with its data,
// and the counter repair that follows finds no product and removes the counters.
TEST_F(toolkit31x_remover_test, removes_the_framework_when_at_most_one_product_is_left) {
  seed_framework(true);
  use_standin(0, 0);
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}});
  // On 64-bit Windows the counters of 64-bit programs live in the other view and stay.
  const std::wstring native_launcher = L"C:\\Program Files\\Ravelins\\RavelinLauncher.exe";
  if (under_wow64()) fx::set_counter(KEY_WOW64_64KEY, native_launcher, 7);
  captured_log log;
  m_remover->unregister_product_from_toolkit_31x(L"CVPRO");
  EXPECT_EQ(1, m_remover->count_products_registered_in_toolkit_31x());
  m_remover->remove_toolkit_31x();

  EXPECT_EQ("/stop\n/uninstall\n", read_file(temp_file(L"tk_standin_record.txt")));
  EXPECT_FALSE(install_files_left());
  EXPECT_FALSE(exists(m_install + L"Languages"));
  EXPECT_TRUE(exists(m_install + L"Corvane\\corvane.exe"));
  EXPECT_FALSE(data_left());
  EXPECT_FALSE(exists(m_cfg));
  EXPECT_EQ((std::map<std::wstring, std::wstring>{
                {L"55555555555555555555555555555555", L"C:\\Other\\Corvane\\agent.exe"}}),
            fx::components());
  EXPECT_EQ(counter_map({{L"C:\\Other\\Ravelins.txt\\RavelinLauncher.exe", 3}}),
            fx::counters(KEY_WOW64_32KEY));
  if (under_wow64()) {
    EXPECT_EQ(counter_map({{native_launcher, 7}}), fx::counters(KEY_WOW64_64KEY));
  }

  const std::vector<std::string> lines = log.texts();
  const int code = index_of(lines, "**** Let's remove Dizavad 3.1.x Code ****");
  const int data = index_of(lines, "**** Let's remove Dizavad 3.1.x Data ****");
  const int components = index_of(lines, "**** Let's remove Dizavad 3.1.x Registry Component ****");
  const int counters = index_of(lines, "Fixing Dizavad counters in SharedDLLs");
  EXPECT_TRUE(code >= 0 && code < data && data < components && components < counters);
  EXPECT_NE(-1, index_of(lines, "Dizavad 3.1.x INSTALLDIR was removed"));
  EXPECT_NE(-1, index_of(lines, "   " + utf8(m_install) + "RavelinLauncher.exe removed"));
  EXPECT_NE(-1, index_of(lines,
                         "Number of products with Dizavad according to configurations "
                         "files: 0"));
  EXPECT_FALSE(log.contains("Dealing with 'RavelinSuiteService.exe' process"));
  EXPECT_FALSE(log.contains("some exception occured"));
}

TEST_F(toolkit31x_remover_test, leaves_the_framework_to_two_products_but_repairs_counters) {
  seed_framework(true);
  use_standin(0, 0);
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}, {L"QLPRO", L"Q"}});
  captured_log log;
  m_remover->remove_toolkit_31x();
  EXPECT_TRUE(install_files_left());
  EXPECT_TRUE(exists(m_install + L"Languages\\en.lng"));
  EXPECT_TRUE(exists(fx::common_appdata() + L"Ravelins\\Programs Bar\\bar.dat"));
  EXPECT_TRUE(exists(fx::other_profile_suite_folder()));
  EXPECT_EQ(5u, fx::components().size());
  EXPECT_FALSE(exists(temp_file(L"tk_standin_record.txt")));
  for (const auto& [name, count] : fx::counters(KEY_WOW64_32KEY)) {
    EXPECT_EQ(name.find(L"Ravelins.txt") == std::wstring::npos ? 2u : 3u, count);
  }
  EXPECT_FALSE(log.contains("Let's remove"));
  EXPECT_TRUE(log.contains("Number of products with Dizavad according to configurations files: 2"));
}

// A list that exists but cannot be read may still name products that use the framework.
TEST_F(toolkit31x_remover_test, damaged_product_list_leaves_framework_and_counters) {
  seed_framework(true);
  use_standin(0, 0);
  config::write_raw_file(m_cfg, "not a protected archive");
  const counter_map before = fx::counters(KEY_WOW64_32KEY);
  captured_log log;
  m_remover->remove_toolkit_31x();
  EXPECT_TRUE(install_files_left());
  EXPECT_TRUE(exists(m_cfg));
  EXPECT_TRUE(exists(fx::appdata() + L"Ravelins\\Suite\\user.dat"));
  EXPECT_EQ(5u, fx::components().size());
  EXPECT_EQ(before, fx::counters(KEY_WOW64_32KEY));
  EXPECT_FALSE(exists(temp_file(L"tk_standin_record.txt")));
  EXPECT_TRUE(
      log.contains("ATTENTION: Dizavad 3.1.x is left in place, as the products that use "
                   "it are not known"));
  EXPECT_TRUE(log.contains("ATTENTION: Dizavad counters in SharedDLLs are left unchanged"));
  EXPECT_TRUE(log.contains("failed to decrypt data"));
  EXPECT_FALSE(log.contains("Let's remove"));
  EXPECT_FALSE(log.contains("Fixing Dizavad counters"));
}

// The service program is asked to stop and uninstall; where it fails or is missing, the remover
// ends the process by name and removes the service through the service manager itself, all
// before it empties the install folder.
TEST_F(toolkit31x_remover_test, falls_back_when_the_service_program_fails) {
  struct {
    const char* name;
    bool program_present;
    int stop_exit;
    int uninstall_exit;
    bool closes_process;
    bool removes_service;
  } cases[] = {
      {"answers 0", true, 0, 0, false, false},
      {"stop fails", true, 3, 0, true, false},
      {"uninstall fails", true, 0, 1603, false, true},
      {"program missing", false, 0, 0, true, true},
      {"stop never ends", true, kHangs, 0, true, false},
      {"uninstall never ends", true, 0, kHangs, false, true},
  };
  // The stand-in that never ends is ended after the (shortened) bound and counts as failed.
  const program_wait_bounds_for_tests short_bound(3000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    seed_framework(c.program_present);
    fx::create_suite_service(m_install + fx::kServiceExe);
    fx::write_products(m_cfg, {{L"TOOLKIT", L"Dizavad"}});
    use_standin(c.stop_exit, c.uninstall_exit);
    captured_log log;
    m_remover->remove_toolkit_31x();
    const std::vector<std::string> lines = log.texts();

    const std::string program = utf8(m_install) + "RavelinSuiteService.exe";
    EXPECT_NE(-1, index_of(lines, "launch_and_wait_for_exit_code: \"" + program + "\" /stop"));
    EXPECT_NE(-1, index_of(lines, "launch_and_wait_for_exit_code: \"" + program + "\" /uninstall"));
    EXPECT_EQ(c.program_present ? 0 : 2, count_of(lines, "ShellExecuteEx failed. Error: 2"));
    const bool hangs = c.stop_exit == kHangs || c.uninstall_exit == kHangs;
    EXPECT_EQ(hangs ? 1 : 0,
              count_of(lines, "The program did not end within 3 seconds: it was ended"));
    const int closed = index_of(lines, "Dealing with 'RavelinSuiteService.exe' process ....");
    const int deleted = index_of(lines, "Service deleted successfully");
    const int first_removal = index_of(lines, "   " + utf8(m_install) + "cvhtml.dll removed");
    EXPECT_EQ(c.closes_process, closed != -1);
    EXPECT_EQ(c.removes_service, deleted != -1);
    EXPECT_EQ(!c.removes_service, fx::suite_service_exists());
    ASSERT_NE(-1, first_removal);
    EXPECT_LT(closed, first_removal);
    EXPECT_LT(deleted, first_removal);
    EXPECT_FALSE(install_files_left());
    fx::remove_all();
    DeleteFileW(temp_file(L"tk_standin_record.txt").c_str());
  }
}

// The framework's fate follows the products that use it, counted as the counter repair counts
// them: TOOLKIT is no product, QLPRO and MZPRO together are one. The entry count stays logged.
TEST_F(toolkit31x_remover_test, counts_the_products_that_use_the_framework) {
  struct {
    std::vector<product> products;
    int entries;
    int products_using;
  } cases[] = {
      {{}, 0, 0},
      {{{L"TOOLKIT", L"Dizavad"}}, 1, 0},
      {{{L"QLPRO", L"Q"}}, 1, 1},
      {{{L"QLPRO", L"Q"}, {L"MZPRO", L"M"}}, 2, 1},
      {{{L"TOOLKIT", L"Dizavad"}, {L"QLPRO", L"Q"}, {L"MZPRO", L"M"}}, 3, 1},
      {{{L"MZPRO", L"M"}, {L"TOOLKIT", L"Dizavad"}}, 2, 1},
      {{{L"TOOLKIT", L"Dizavad"}, {L"CVPRO", L"Corvane"}, {L"QLPRO", L"Q"}}, 3, 2},
      {{{L"toolkit", L"Dizavad"}}, 1, 1},  // codes match exactly
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entries);
    fx::write_products(m_cfg, c.products);
    captured_log log;
    EXPECT_EQ(c.products_using, m_remover->count_products_using_toolkit_31x());
    EXPECT_EQ((std::vector<std::string>{"Count products registered in Dizavad 3.1.x",
                                        "   number of products = " + std::to_string(c.entries),
                                        "   number of products that use Dizavad 3.1.x = " +
                                            std::to_string(c.products_using),
                                        ""}),
              log.texts());
  }
  config::write_raw_file(m_cfg, "not a protected archive");
  captured_log log;
  EXPECT_EQ(toolkit_remover::unknown_product_count, m_remover->count_products_using_toolkit_31x());
  EXPECT_FALSE(log.contains("number of products that use"));
}

// CVPRO was registered beside another product and no TOOLKIT entry: one entry is left, and it
// is a product that still needs the framework, its data (product.cfg with its registration) and
// its counters.
TEST_F(toolkit31x_remover_test, keeps_the_framework_for_the_one_product_left) {
  seed_framework(true);
  use_standin(0, 0);
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}, {L"QLPRO", L"Q"}});
  captured_log log;
  m_remover->unregister_product_from_toolkit_31x(L"CVPRO");
  m_remover->remove_toolkit_31x();
  EXPECT_EQ((std::vector<product>{{L"QLPRO", L"Q"}}), fx::read_products(m_cfg));
  EXPECT_TRUE(install_files_left());
  EXPECT_TRUE(exists(m_install + L"Languages\\en.lng"));
  EXPECT_TRUE(exists(fx::appdata() + L"Ravelins\\Suite\\user.dat"));
  EXPECT_TRUE(exists(fx::other_profile_suite_folder()));
  EXPECT_EQ(5u, fx::components().size());
  EXPECT_FALSE(exists(temp_file(L"tk_standin_record.txt")));
  for (const auto& [name, count] : fx::counters(KEY_WOW64_32KEY)) {
    EXPECT_EQ(name.find(L"Ravelins.txt") == std::wstring::npos ? 1u : 3u, count);
  }
  EXPECT_TRUE(log.contains("   number of products that use Dizavad 3.1.x = 1"));
  EXPECT_FALSE(log.contains("Let's remove"));
}

// A product name in product.cfg that is not one plain folder name would put the product's
// folders elsewhere: the folder getters refuse it and name it in the log.
TEST_F(toolkit31x_remover_test, product_names_that_are_not_plain_folder_names_name_no_folder) {
  for (const wchar_t* name : {L"..", L".", L"..\\..\\Windows", L"a/b", L"Corvane."}) {
    fx::write_products(m_cfg, {{L"CVPRO", name}});
    captured_log log;
    EXPECT_THROW(m_remover->get_product_install_folder(L"CVPRO"), replay::exception);
    EXPECT_THROW(m_remover->get_product_appdata_folder(L"CVPRO"), replay::exception);
    EXPECT_THROW(m_remover->get_product_common_data_folder(L"CVPRO"), replay::exception);
    EXPECT_EQ("", m_remover->read_user_email_from_toolkit_31x(L"CVPRO"));
    EXPECT_TRUE(log.contains("ATTENTION: product name '" + utf8(name) +
                             "' in product.cfg is not a plain folder name"));
  }
}

// The report lines of `changes`, a started program's assumed result left out: what a real run
// does is compared with what a report-only run planned.
std::vector<std::wstring> without_assumptions(const std::vector<replay::change>& changes) {
  std::vector<std::wstring> lines = change_lines(changes);
  for (std::wstring& line : lines) {
    const size_t assumed = line.find(L"; assumed exit code");
    if (assumed != std::wstring::npos) line.erase(assumed);
  }
  return lines;
}

// In a report-only run, taking CVPRO off the list writes nothing, and what follows is judged on
// the list as it would be: no product is left, so the counters would be deleted. The real run
// then makes exactly the planned changes.
TEST_F(toolkit31x_remover_test, report_only_run_judges_the_count_on_the_list_it_would_write) {
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}});
  const std::wstring counter = m_install + L"cvhtml.dll";
  fx::set_counter(KEY_WOW64_32KEY, counter, 3);
  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    captured_log log;
    m_remover->unregister_product_from_toolkit_31x(L"CVPRO");
    EXPECT_EQ(0, m_remover->count_products_using_toolkit_31x());
    m_remover->fix_toolkit_counters_in_shareddlls();
    EXPECT_TRUE(log.contains("'CVPRO' would be unregistered"));
    EXPECT_TRUE(log.contains("Registry value " + utf8(counter) + " would be removed"));
    EXPECT_FALSE(log.contains("unregister_product_from_toolkit_31x()"));
  }
  EXPECT_EQ((std::vector<product>{{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}}),
            fx::read_products(m_cfg));
  EXPECT_EQ(counter_map({{counter, 3}}), fx::counters(KEY_WOW64_32KEY));
  const std::vector<std::wstring> lines = change_lines(planned.planned());
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(L"write file\t" + m_cfg + L"\tCVPRO unregistered", lines[0]);
  EXPECT_EQ(0u, lines[1].find(L"delete value\t")) << lines[1];
  EXPECT_NE(std::wstring::npos, lines[1].find(L"[" + counter + L"] (32-bit view)\t3 -> deleted"))
      << lines[1];

  change_recorder recorder;
  m_remover->unregister_product_from_toolkit_31x(L"CVPRO");
  EXPECT_EQ(0, m_remover->count_products_using_toolkit_31x());
  m_remover->fix_toolkit_counters_in_shareddlls();
  EXPECT_EQ(lines, change_lines(recorder.changes()));
  EXPECT_EQ((std::vector<product>{{L"TOOLKIT", L"Dizavad"}}), fx::read_products(m_cfg));
  EXPECT_TRUE(fx::counters(KEY_WOW64_32KEY).empty());
}

// Without product.cfg no product uses the framework: a report-only run plans its removal (the
// service program is not started but assumed to succeed, its files deleted, its counters) and
// changes nothing; the real run then does the same.
TEST_F(toolkit31x_remover_test, report_only_run_plans_the_framework_removal_without_starting_it) {
  const wchar_t* const files[] = {L"RavelinLauncher.exe", L"cvhtml.dll", L"Tracegather.exe"};
  for (const wchar_t* file : files) ASSERT_TRUE(seed_files({{m_install + file}}));
  ASSERT_TRUE(seed_files({{m_install + L"Corvane\\corvane.exe"}}));  // a product's folder stays
  ASSERT_TRUE(CopyFileW((program_folder() + L"suite_service_standin.exe").c_str(),
                        (m_install + fx::kServiceExe).c_str(), FALSE));
  for (const wchar_t* file : files) fx::set_counter(KEY_WOW64_32KEY, m_install + file, 2);
  use_standin(0, 0);
  const counter_map counters_before = fx::counters(KEY_WOW64_32KEY);

  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    captured_log log;
    m_remover->remove_toolkit_31x();
    EXPECT_TRUE(log.contains("   " + utf8(m_install) + "RavelinLauncher.exe would be removed"));
    EXPECT_TRUE(log.contains("Dizavad 3.1.x INSTALLDIR would be removed"));
  }
  EXPECT_FALSE(exists(temp_file(L"tk_standin_record.txt"))) << "the service program was started";
  for (const wchar_t* file : files) EXPECT_TRUE(exists(m_install + file));
  EXPECT_TRUE(exists(m_install + fx::kServiceExe));
  EXPECT_EQ(counters_before, fx::counters(KEY_WOW64_32KEY));

  const std::vector<std::wstring> lines = change_lines(planned.planned());
  const std::wstring program = m_install + fx::kServiceExe;
  const std::wstring assumed = L"assumed exit code 0: the program exists";
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(0u, lines[0].find(L"run program\t" + program + L"\t/stop; " + assumed)) << lines[0];
  EXPECT_EQ(0u, lines[1].find(L"run program\t" + program + L"\t/uninstall; " + assumed))
      << lines[1];
  int deleted_files = 0, deleted_counters = 0;
  for (const replay::change& c : planned.planned()) {
    deleted_files += c.kind == replay::change_kind::delete_file;
    deleted_counters += c.kind == replay::change_kind::delete_value && c.detail == L"2 -> deleted";
  }
  EXPECT_EQ(4, deleted_files);
  EXPECT_EQ(3, deleted_counters);

  change_recorder recorder;
  m_remover->remove_toolkit_31x();
  EXPECT_EQ("/stop\n/uninstall\n", read_file(temp_file(L"tk_standin_record.txt")));
  EXPECT_FALSE(install_files_left());
  EXPECT_TRUE(fx::counters(KEY_WOW64_32KEY).empty());
  EXPECT_EQ(without_assumptions(planned.planned()), without_assumptions(recorder.changes()));
}

// A product.cfg write that fails (injected: Wine's file system gives no such failure here) is
// logged as a failed write; the list stays as it was and the remover goes on with it.
TEST_F(toolkit31x_remover_test, failing_product_cfg_write_is_logged_and_the_list_kept) {
  fx::write_products(m_cfg, {{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}});
  captured_log log;
  {
    const test_support::failing_changes failing(1, ERROR_ACCESS_DENIED,
                                                replay::change_kind::write_file);
    m_remover->unregister_product_from_toolkit_31x(L"CVPRO");
  }
  EXPECT_TRUE(log.contains("'CVPRO' unregistered"));
  EXPECT_TRUE(log.contains("unregister_product_from_toolkit_31x()"));
  EXPECT_TRUE(log.contains("Error writting file"));
  EXPECT_TRUE(log.contains("failed to write file (5)"));
  EXPECT_EQ((std::vector<product>{{L"CVPRO", L"Corvane"}, {L"TOOLKIT", L"Dizavad"}}),
            fx::read_products(m_cfg));
  EXPECT_EQ(1, m_remover->count_products_using_toolkit_31x());
}

}  // namespace
