// The product's Uninstall entry, or its DisplayName, is missing: never written, or deleted by an
// earlier run that was cut off. The Start-menu folders are named by the product's name then,
// so they still go, and the log says that the fallback name is used.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/purgeline_process.h"
#include "tests/seed/registry_edit.h"
#include "tests/seed/suite_machine.h"

namespace {

const wchar_t kEntry[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct missing_case {
  const char* name;
  bool keep_entry;  // the entry stays, without its DisplayName
};

class PurgelineMissingDisplayName : public ::testing::TestWithParam<missing_case> {
 protected:
  void SetUp() override {
    seed::stop_suite_processes();
    DeleteFileA(e2e::log_path().c_str());
    options.helpers_folder = e2e::program_folder();
  }
  void TearDown() override { seed::stop_suite_processes(); }
  seed::suite_options options;
};

TEST_P(PurgelineMissingDisplayName, StartMenuFoldersGoByTheProductName) {
  seed::install_suite(options);
  seed::delete_tree(HKEY_LOCAL_MACHINE, 0, kEntry);
  if (GetParam().keep_entry)
    seed::set_string(HKEY_LOCAL_MACHINE, 0, kEntry, L"DisplayVersion", L"3.1.25");
  const seed::machine_paths m = seed::current_machine();
  ASSERT_TRUE(exists(m.common_programs + "\\Ravelins\\Corvane"));

  e2e::run_purgeline();

  const std::vector<std::string> lines = e2e::log_texts();
  e2e::expect_in_order(lines, {"ATTENTION: no DisplayName in the Uninstall entry of 'Corvane': "
                               "the product name is used for the Start-menu folders",
                               "**** Removing shortcuts in All Users' Start Menu ****"});
  for (const std::string& folder :
       {m.common_programs + "\\Ravelins", m.common_programs + "\\Corvane",
        m.programs + "\\Ravelins", m.programs + "\\Corvane"}) {
    EXPECT_FALSE(exists(folder)) << folder;
  }
  EXPECT_TRUE(exists(m.programs + "\\Lantern"));  // not the suite's
}

std::string case_name(const ::testing::TestParamInfo<missing_case>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, PurgelineMissingDisplayName,
                         ::testing::Values(missing_case{"NoUninstallEntry", false},
                                           missing_case{"NoDisplayName", true}),
                         case_name);

}  // namespace
