// Folder removal in a report-only run: the same walk with the same checks, nothing changed on
// disk, and exactly the changes a real removal makes, in its order (each folder after what it
// holds). Later reads see what was planned away.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cleanup/folders.h"
#include "cleanup/tree_removal.h"
#include "replay/change/change_layer.h"
#include "replay/change/planned_changes.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"
#include "testing/change_recorder.h"
#include "testing/failing_changes.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;
using lines = std::vector<std::string>;
using replay::change_kind;

bool is_read_only(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Whether every change at a path below another one comes before it.
bool children_first(const std::vector<replay::change>& changes) {
  for (size_t i = 0; i < changes.size(); ++i) {
    const std::wstring folder = changes[i].where + L"\\";
    for (size_t j = i + 1; j < changes.size(); ++j) {
      if (changes[j].where.compare(0, folder.size(), folder) == 0) return false;
    }
  }
  return true;
}

class PlannedRemovalTest : public testing::Test {
 protected:
  scratch_folder folder_{L"planned_removal"};
  const std::wstring wroot_ = folder_.path();
  const std::string root_ = replay::to_narrow(wroot_);
  replay::planned_changes plan_;
};

// A read-only file keeps its attribute and a file held open without delete sharing is planned
// like any other (the suite's processes are ended earlier in the pass). The real removal of the
// same tree then makes exactly the planned changes, in the same order.
TEST_F(PlannedRemovalTest, PlanningChangesNothingAndListsWhatTheRealRemovalDeletes) {
  const std::wstring tree = wroot_ + L"\\t";
  make_file(tree + L"\\a.txt");
  make_file(tree + L"\\ro.txt");
  set_read_only(tree + L"\\ro.txt", true);
  make_file(tree + L"\\held.txt");
  make_file(tree + L"\\sub\\b.txt");
  make_folder(tree + L"\\sub\\empty");
  replay::scoped_handle held(CreateFileW((tree + L"\\held.txt").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  {
    const replay::changes_scope scope(plan_);
    captured_log log;
    EXPECT_TRUE(remove_folder(replay::to_narrow(tree)));
    EXPECT_EQ(lines{". Folder '" + replay::to_narrow(tree) + "' would be removed"}, log.texts());
    EXPECT_FALSE(entry_exists(tree + L"\\sub\\b.txt"));
    EXPECT_FALSE(entry_exists(tree));
  }
  for (const wchar_t* kept :
       {L"\\a.txt", L"\\ro.txt", L"\\held.txt", L"\\sub\\b.txt", L"\\sub\\empty"}) {
    EXPECT_TRUE(exists(tree + kept)) << replay::to_narrow(kept);
  }
  EXPECT_TRUE(is_read_only(tree + L"\\ro.txt"));

  const std::vector<replay::change>& planned = plan_.planned();
  std::vector<std::wstring> files, folders;
  for (const replay::change& c : planned) {
    (c.kind == change_kind::delete_file ? files : folders).push_back(c.where.substr(tree.size()));
    EXPECT_TRUE(c.kind == change_kind::delete_file || c.kind == change_kind::remove_folder);
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ((std::vector<std::wstring>{L"\\a.txt", L"\\held.txt", L"\\ro.txt", L"\\sub\\b.txt"}),
            files);
  EXPECT_EQ((std::vector<std::wstring>{L"", L"\\sub", L"\\sub\\empty"}), folders);
  EXPECT_TRUE(children_first(planned));

  held.reset();
  change_recorder real;
  EXPECT_EQ(7u, remove_tree(tree));
  EXPECT_FALSE(exists(tree));
  EXPECT_EQ(change_lines(planned), real.lines());
}

// A folder whose entries were all planned away counts as empty and is planned away itself;
// one that keeps an entry is not. What was planned away no longer exists for later steps.
TEST_F(PlannedRemovalTest, FolderEmptiedByPlannedRemovalsIsPlannedAway) {
  make_file(wroot_ + L"\\brand\\product\\x.txt");
  make_file(wroot_ + L"\\full\\product\\x.txt");
  make_file(wroot_ + L"\\full\\keep.txt");
  const std::string brand = root_ + "\\brand";
  const std::string full = root_ + "\\full";
  const replay::changes_scope scope(plan_);
  captured_log log;
  remove_folder_below(root_, brand + "\\product");
  remove_empty_folder_below(root_, brand);
  remove_folder(full + "\\product");
  remove_empty_folder(full);
  remove_folder_below(root_, brand + "\\product");
  remove_empty_folder(brand);
  EXPECT_EQ((lines{". Folder '" + brand + "\\product' would be removed",
                   "Would remove empty folder '" + brand + "' !",
                   ". Folder '" + full + "\\product' would be removed",
                   "Do NOT removing folder '" + full + "', as it is not empty !",
                   "Folder to remove '" + brand + "\\product' does NOT EXIST !",
                   "Folder to remove '" + brand + "' does NOT EXIST !"}),
            log.texts());
  const std::vector<replay::change>& planned = plan_.planned();
  ASSERT_EQ(5u, planned.size());
  EXPECT_EQ(change_kind::remove_folder, planned[2].kind);
  EXPECT_EQ(wroot_ + L"\\brand", planned[2].where);
  EXPECT_EQ(wroot_ + L"\\full\\product", planned.back().where);
  EXPECT_TRUE(exists(wroot_ + L"\\brand\\product\\x.txt"));
  EXPECT_TRUE(exists(wroot_ + L"\\full\\product\\x.txt"));
  EXPECT_FALSE(entry_exists_below(wroot_, wroot_ + L"\\brand\\product"));
  EXPECT_FALSE(entry_exists(wroot_ + L"\\brand\\"));
  EXPECT_TRUE(entry_exists(wroot_ + L"\\full\\keep.txt"));
  EXPECT_EQ(0u, remove_tree(wroot_ + L"\\brand"));
}

// The counts a removal returns are those of the real removal.
TEST_F(PlannedRemovalTest, PlannedRemovalCountsWhatWouldGo) {
  make_file(wroot_ + L"\\t\\a.txt");
  make_file(wroot_ + L"\\t\\sub\\b.txt");
  const replay::changes_scope scope(plan_);
  EXPECT_EQ(4u, remove_tree(wroot_ + L"\\t\\"));
  EXPECT_EQ(0u, remove_tree(wroot_ + L"\\t"));
  EXPECT_EQ(4u, plan_.planned().size());
}

// A failing layer (testing/failing_changes.h): the second file deletion fails with "access denied",
// which is how the system refuses a file whose program image is loaded. As for such a file, it is
// left to the restart with its folder, the rest goes, and the folder's line says so.
class InjectedRemovalFailureTest : public PlannedRemovalTest {
 protected:
  void TearDown() override {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       L"PendingFileRenameOperations");
  }
};

TEST_F(InjectedRemovalFailureTest, FailedFileIsLeftToTheRestartAndTheRestGoes) {
  const std::wstring tree = wroot_ + L"\\t";
  for (const wchar_t* name : {L"\\a.txt", L"\\b.txt", L"\\c.txt"}) make_file(tree + name);
  change_recorder real;
  captured_log log;
  {
    const test_support::failing_changes failing(2, ERROR_ACCESS_DENIED, change_kind::delete_file);
    EXPECT_TRUE(remove_folder(replay::to_narrow(tree)));
  }
  const std::vector<std::wstring> left = files_in(tree);
  ASSERT_EQ(1u, left.size());
  const std::wstring failed = tree + L"\\" + left[0];
  EXPECT_TRUE(log.contains("'" + replay::to_narrow(failed) +
                           "' is in use: it will be removed at the next restart"));
  EXPECT_EQ(". Folder '" + replay::to_narrow(tree) + "' will be removed at the next restart",
            log.texts().back());
  // The failed change never reached the machine (nor the observer); the restart requests did.
  const std::vector<std::wstring> made = real.lines();
  ASSERT_EQ(4u, made.size());
  EXPECT_EQ(L"schedule at restart\t" + failed + L"\t", made[1]);
  EXPECT_EQ(L"schedule at restart\t" + tree + L"\t", made[3]);
}

// Any other failure stops the removal at that file, as it does when the system reports it:
// what went before stays removed, the folder and the rest are left, and the failure is logged.
TEST_F(InjectedRemovalFailureTest, OtherFailureStopsTheRemovalAtThatFile) {
  const std::wstring tree = wroot_ + L"\\t";
  for (const wchar_t* name : {L"\\a.txt", L"\\b.txt", L"\\c.txt"}) make_file(tree + name);
  const test_support::failing_changes failing(2, ERROR_WRITE_PROTECT, change_kind::delete_file);
  captured_log log;
  EXPECT_FALSE(remove_folder(replay::to_narrow(tree)));
  EXPECT_EQ(2u, files_in(tree).size());
  EXPECT_EQ("! Failed to remove folder '" + replay::to_narrow(tree) + "' !", log.texts().back());
}

}  // namespace
