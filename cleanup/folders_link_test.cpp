// Links planted in user-writable places never lead a removal outside them: the link goes (or,
// where the system cannot delete it, stays and the failure is reported), its target stays.
// The links are planted by folders_link_test.sh; without it these tests are skipped.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>

#include "cleanup/entry_walk.h"
#include "cleanup/folders.h"
#include "cleanup/tree_removal.h"
#include "replay/change/change_layer.h"
#include "replay/change/planned_changes.h"
#include "replay/unicode/unicode.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;

class PlantedLinkTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("CORVANE_PLANTED_LINKS") == nullptr) GTEST_SKIP() << "no planted links";
    profiles_ = profiles_folder();
  }
  // The planted targets, all of which must survive.
  void expect_targets_intact() {
    EXPECT_TRUE(exists(L"C:\\cvlink_target\\keep.txt"));
    EXPECT_TRUE(exists(L"C:\\cvlink_store\\ProgramData\\Ravelins\\keep.txt"));
    EXPECT_TRUE(exists(L"C:\\cvlink_client\\Corvane_Client.msi"));
    EXPECT_TRUE(exists(L"C:\\cvlink_empty_target"));
  }
  // The link is gone, or its removal was reported.
  void expect_gone_or_reported(const std::wstring& link, const captured_log& log,
                               const std::string& report) {
    if (entry_exists(link)) {
      EXPECT_TRUE(log.contains(report)) << replay::to_narrow(link);
      EXPECT_TRUE(is_link(link));
    }
  }
  std::wstring profiles_;
};

TEST_F(PlantedLinkTest, PlantedLinksShowAsReparsePoints) {
  EXPECT_TRUE(is_link(L"C:\\cvlink_top"));
  EXPECT_TRUE(is_link(profiles_ + L"\\cvlink_user3\\AppData\\Local\\VirtualStore"));
  EXPECT_FALSE(is_link(L"C:\\cvlink_target"));
}

// A report-only run takes the same way past the same links: refused where a real run refuses
// them, never entered, and nothing changes on disk. Runs before the tests that remove.
TEST_F(PlantedLinkTest, ReportOnlyRunRefusesTheSameLinks) {
  const std::string base = "C:\\cvlink_base\\";
  replay::planned_changes plan;
  {
    const replay::changes_scope scope(plan);
    captured_log log;
    EXPECT_FALSE(remove_folder_below(base, base + "Ravelins\\Suite"));
    EXPECT_TRUE(remove_folder_below(base, base + "Own\\Suite"));
    remove_folder("C:\\cvlink_folder");
    remove_guid_folders_with_client_files();
    EXPECT_TRUE(
        log.contains("! 'C:\\cvlink_base\\Ravelins' is a link: nothing is removed through it !"));
    EXPECT_TRUE(log.contains("! Failed to remove folder 'C:\\cvlink_base\\Ravelins\\Suite' !"));
    EXPECT_TRUE(log.contains(". Folder 'C:\\cvlink_base\\Own\\Suite' would be removed"));
    EXPECT_TRUE(log.contains("{cvlink}' is a link: nothing is removed through it !"));
  }
  EXPECT_FALSE(plan.planned().empty());
  for (const replay::change& c : plan.planned()) {
    for (const wchar_t* beyond :
         {L"cvlink_target", L"cvlink_way_target", L"Ravelins", L"{cvlink}", L"cvlink_client"}) {
      EXPECT_EQ(std::wstring::npos, c.where.find(beyond)) << replay::to_narrow(c.where);
    }
  }
  EXPECT_TRUE(exists(L"C:\\cvlink_base\\Own\\Suite\\own.txt"));
  EXPECT_TRUE(exists(L"C:\\cvlink_folder\\own.txt"));
  EXPECT_TRUE(is_link(L"C:\\cvlink_folder\\inner"));
  expect_targets_intact();
}

TEST_F(PlantedLinkTest, RemovingALinkNeverTouchesItsTarget) {
  try {
    remove_tree(L"C:\\cvlink_top");
  } catch (const std::exception&) {
    EXPECT_TRUE(is_link(L"C:\\cvlink_top"));  // the system cannot delete this link
  }
  expect_targets_intact();
}

TEST_F(PlantedLinkTest, VirtualStoreRemoval) {
  captured_log log;
  rmove_virtual_store();
  expect_targets_intact();
  const std::wstring store = L"\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins";
  expect_gone_or_reported(profiles_ + L"\\cvlink_user1" + store + L"\\inner", log,
                          "Error occured in rmove_virtual_store(), System Error Code = ");
  expect_gone_or_reported(profiles_ + L"\\cvlink_user2" + store, log,
                          "Error occured in rmove_virtual_store(), System Error Code = ");
  EXPECT_TRUE(is_link(profiles_ + L"\\cvlink_user3\\AppData\\Local\\VirtualStore"));
}

TEST_F(PlantedLinkTest, RemovalInEveryProfile) {
  captured_log log;
  remove_dir_in_userappdata_for_allprofiles("AppData\\Roaming\\CvLinkTest");
  remove_dir_in_userappdata_for_allprofiles("AppData/Local/VirtualStore/ProgramData/Ravelins");
  expect_targets_intact();
  const std::string report =
      "Error occured in remove_dir_in_userappdata_for_allprofiles(), System Error Code = ";
  expect_gone_or_reported(profiles_ + L"\\cvlink_user1\\AppData\\Roaming\\CvLinkTest\\inner", log,
                          report);
  expect_gone_or_reported(profiles_ + L"\\cvlink_user2\\AppData\\Roaming\\CvLinkTest", log, report);
  // A link on the way is not entered at all: nothing below it is removed, and it is named.
  EXPECT_FALSE(log.contains("/cvlink_user3/"));  // no "removing" line
  EXPECT_TRUE(log.contains("\\cvlink_user3\\AppData\\Local\\VirtualStore' is a link"));
}

TEST_F(PlantedLinkTest, FolderRemovalLeavesLinkTargets) {
  captured_log log;
  remove_folder("C:\\cvlink_folder");
  remove_folder("C:\\cvlink_top");
  remove_empty_folder("C:\\cvlink_empty_link");
  remove_guid_folders_with_client_files();
  expect_targets_intact();
  expect_gone_or_reported(L"C:\\cvlink_folder\\inner", log,
                          "! Failed to remove folder 'C:\\cvlink_folder' !");
  expect_gone_or_reported(L"C:\\cvlink_top", log, "! Failed to remove folder 'C:\\cvlink_top' !");
  expect_gone_or_reported(L"C:\\cvlink_empty_link", log,
                          "Failed to remove empty folder 'C:\\cvlink_empty_link', GetLastError()=");
}

// A link on the way from the shell folder to the folder being removed (the framework's data
// folder planted as a link, say) is never entered: the removal is refused and the link named,
// while the same removal of the suite's own folder beside it goes ahead.
TEST_F(PlantedLinkTest, LinkOnTheWayFromTheShellFolderIsRefusedAndNamed) {
  const std::string base = "C:\\cvlink_base\\";
  captured_log log;
  EXPECT_FALSE(remove_folder_below(base, base + "Ravelins\\Suite"));
  remove_empty_folder_below(base, base + "Ravelins\\Suite\\empty");
  EXPECT_THROW(remove_tree_below(L"C:\\cvlink_base", L"C:\\cvlink_base\\Ravelins\\Suite"),
               entry_walk::link_refused);
  EXPECT_TRUE(remove_folder_below(base, base + "Own\\Suite"));
  remove_guid_folders_with_client_files();
  EXPECT_TRUE(exists(L"C:\\cvlink_way_target\\Suite\\keep.txt"));
  EXPECT_TRUE(exists(L"C:\\cvlink_way_target\\Suite\\empty"));
  EXPECT_FALSE(exists(L"C:\\cvlink_base\\Own\\Suite"));
  expect_targets_intact();
  EXPECT_TRUE(
      log.contains("! 'C:\\cvlink_base\\Ravelins' is a link: nothing is removed through it !"));
  EXPECT_TRUE(log.contains("! Failed to remove folder 'C:\\cvlink_base\\Ravelins\\Suite' !"));
  EXPECT_FALSE(log.contains("Removed empty folder"));
  // A "{...}" folder that is a link is not one of ours: named, and left with its target.
  EXPECT_TRUE(log.contains("{cvlink}' is a link: nothing is removed through it !"));
  EXPECT_TRUE(is_link(test_support::shell_folder(CSIDL_COMMON_APPDATA) + L"\\{cvlink}"));
}

}  // namespace
