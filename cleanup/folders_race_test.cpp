// A user who swaps an entry for a link after the removal listed its folder, and before the
// removal opens the entry, must not get the link's target removed: the entry is opened by
// handle and proved to be the one listed. folders_link_test.sh swaps the entry for a Unix
// symbolic link (Wine's only kind of link) when the test asks for it, through marker files in
// C:\cvrace_sync; without the script these tests are skipped.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cleanup/entry_walk.h"
#include "cleanup/folders.h"
#include "cleanup/tree_removal.h"
#include "replay/unicode/unicode.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;

const wchar_t kSync[] = L"C:\\cvrace_sync";

bool ends_with(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Has the script replace `from` by a link to `to` (both relative to C:\, with "/") and waits
// until it has. With `move`, `from` is first moved to `to`: the link then leads to the very
// entry that was listed, now outside the tree.
bool swap_for_link(const std::string& from, const std::string& to, bool move) {
  const std::wstring part = std::wstring(kSync) + L"\\request.part";
  make_file(part, from + " " + to + (move ? " move" : "") + "\n");
  if (!MoveFileW(part.c_str(), (std::wstring(kSync) + L"\\request").c_str())) return false;
  const std::wstring done = std::wstring(kSync) + L"\\done";
  for (int waited = 0; waited < 30000; waited += 20) {
    if (DeleteFileW(done.c_str())) return true;
    Sleep(20);
  }
  return false;
}

// The swap of `from` for a link to `to`, just before the `nth` opening of the entry whose path
// ends in `suffix`.
struct swap {
  std::wstring suffix;
  int nth;
  std::string from, to;
  bool move = false;
};

// Makes the swaps while it lives; counts those made.
class swaps_at_open {
 public:
  explicit swaps_at_open(std::vector<swap> swaps)
      : swaps_(std::move(swaps)),
        seen_(swaps_.size()),
        hook_([this](const std::wstring& path) { at_open(path); }) {}
  swaps_at_open(const swaps_at_open&) = delete;
  swaps_at_open& operator=(const swaps_at_open&) = delete;
  std::size_t made() const { return made_; }

 private:
  void at_open(const std::wstring& path) {
    for (std::size_t i = 0; i < swaps_.size(); ++i) {
      if (!ends_with(path, swaps_[i].suffix) || ++seen_[i] != swaps_[i].nth) continue;
      if (swap_for_link(swaps_[i].from, swaps_[i].to, swaps_[i].move)) ++made_;
    }
  }

  std::vector<swap> swaps_;
  std::vector<int> seen_;
  std::size_t made_ = 0;
  entry_walk::open_hook_for_tests hook_;  // last: it ends first
};

class PlantedLinkRaceTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("CORVANE_PLANTED_LINKS") == nullptr) GTEST_SKIP() << "no planted links";
    make_file(L"C:\\cvrace_target\\keep.txt");
    make_file(L"C:\\cvrace_target\\CvRace\\keep.txt");
    make_file(L"C:\\cvrace_target\\Corvane_Client.msi");
  }
  void expect_target_intact() {
    EXPECT_TRUE(exists(L"C:\\cvrace_target\\keep.txt"));
    EXPECT_TRUE(exists(L"C:\\cvrace_target\\CvRace\\keep.txt"));
    EXPECT_TRUE(exists(L"C:\\cvrace_target\\Corvane_Client.msi"));
  }
};

// A folder and a file of the tree, each swapped for a link between the listing and the opening:
// both links stay, their targets stay, the rest of the tree goes.
TEST_F(PlantedLinkRaceTest, EntriesSwappedWhileTheTreeIsRemovedAreLeft) {
  make_file(L"C:\\cvrace\\t\\a.txt");
  make_file(L"C:\\cvrace\\t\\victim_dir\\own.txt");
  make_file(L"C:\\cvrace\\t\\victim_file.txt");
  make_file(L"C:\\cvrace\\t\\z\\b.txt");
  captured_log log;
  {
    swaps_at_open swaps(
        {{L"\\t\\victim_dir", 1, "cvrace/t/victim_dir", "cvrace_target"},
         {L"\\t\\victim_file.txt", 1, "cvrace/t/victim_file.txt", "cvrace_target/keep.txt"}});
    EXPECT_THROW(remove_tree(L"C:\\cvrace\\t"), entry_walk::link_refused);
    EXPECT_EQ(2u, swaps.made());
  }
  expect_target_intact();
  EXPECT_TRUE(is_link(L"C:\\cvrace\\t\\victim_dir"));
  EXPECT_FALSE(exists(L"C:\\cvrace\\t\\a.txt"));
  EXPECT_FALSE(exists(L"C:\\cvrace\\t\\z"));
  EXPECT_TRUE(log.contains("'C:\\cvrace\\t\\victim_dir' changed while it was being removed"));
  EXPECT_TRUE(log.contains("'C:\\cvrace\\t\\victim_file.txt' changed while it was being removed"));
}

// A folder and a file of the tree, each moved out of it and replaced by a link to where it went,
// between the listing and the opening: the link leads to the entry listed (same volume, same
// file index), but elsewhere. Under Wine, whose handle on such a link is the target's, deleting
// through it would delete the moved entry; both are left where they went.
TEST_F(PlantedLinkRaceTest, EntriesMovedOutAndLinkedWhileTheTreeIsRemovedAreLeft) {
  make_file(L"C:\\cvrace\\m\\a.txt");
  make_file(L"C:\\cvrace\\m\\moved_dir\\own.txt");
  make_file(L"C:\\cvrace\\m\\moved_file.txt");
  captured_log log;
  {
    swaps_at_open swaps(
        {{L"\\m\\moved_dir", 1, "cvrace/m/moved_dir", "cvrace_target/moved_dir", true},
         {L"\\m\\moved_file.txt", 1, "cvrace/m/moved_file.txt", "cvrace_target/moved_file.txt",
          true}});
    EXPECT_THROW(remove_tree(L"C:\\cvrace\\m"), entry_walk::link_refused);
    EXPECT_EQ(2u, swaps.made());
  }
  expect_target_intact();
  EXPECT_TRUE(exists(L"C:\\cvrace_target\\moved_dir\\own.txt"));
  EXPECT_TRUE(exists(L"C:\\cvrace_target\\moved_file.txt"));
  EXPECT_TRUE(is_link(L"C:\\cvrace\\m\\moved_dir"));
  EXPECT_FALSE(exists(L"C:\\cvrace\\m\\a.txt"));
  EXPECT_TRUE(log.contains("'C:\\cvrace\\m\\moved_dir' changed while it was being removed"));
  EXPECT_TRUE(log.contains("'C:\\cvrace\\m\\moved_file.txt' changed while it was being removed"));
}

// The profile walk checks that the folder exists and is reached without a link, then removes
// it: a folder on the way swapped for a link between the two is not entered.
TEST_F(PlantedLinkRaceTest, ProfileFolderSwappedBetweenCheckAndRemovalIsNotEntered) {
  make_file(profiles_folder() + L"\\cvrace_user\\AppData\\Roaming\\CvRace\\own.txt");
  captured_log log;
  {
    swaps_at_open swaps({{L"\\cvrace_user\\AppData\\Roaming", 2,
                          "users/cvrace_user/AppData/Roaming", "cvrace_target"}});
    remove_dir_in_userappdata_for_allprofiles("AppData\\Roaming\\CvRace");
    EXPECT_EQ(1u, swaps.made());
  }
  expect_target_intact();
  EXPECT_TRUE(log.contains("/cvrace_user/AppData/Roaming/CvRace"));  // "removing ..."
  EXPECT_TRUE(log.contains("\\cvrace_user\\AppData\\Roaming' changed while it was being removed"));
  EXPECT_TRUE(log.contains(
      "Error occured in remove_dir_in_userappdata_for_allprofiles(), System Error Code = 4395"));
}

// The client file is found in the "{...}" folder, which is then swapped for a link to another
// folder holding a client file before the removal opens it: nothing of the target goes.
TEST_F(PlantedLinkRaceTest, GuidFolderSwappedAfterTheClientFileCheckIsLeft) {
  const std::wstring common = test_support::shell_folder(CSIDL_COMMON_APPDATA);
  make_file(common + L"\\{cvrace}\\Corvane_Client.msi");
  make_file(common + L"\\{cvrace}\\own.txt");
  const std::string path = replay::to_narrow(common) + "\\{cvrace}";
  captured_log log;
  {
    swaps_at_open swaps({{L"\\{cvrace}", 2, "ProgramData/{cvrace}", "cvrace_target"}});
    remove_guid_folders_with_client_files();
    EXPECT_EQ(1u, swaps.made());
  }
  expect_target_intact();
  EXPECT_TRUE(log.contains("'" + path + "' changed while it was being removed"));
  EXPECT_TRUE(log.contains("! Failed to remove folder '" + path + "' !"));
}

}  // namespace
