#include "cleanup/tree_removal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <boost/filesystem/exception.hpp>

#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;

class TreeRemovalTest : public testing::Test {
 protected:
  scratch_folder folder_{L"tree_removal"};
  const std::wstring root_ = folder_.path();
};

TEST_F(TreeRemovalTest, RemovesANestedTreeAndCountsEveryEntry) {
  make_file(root_ + L"\\t\\a.txt");
  make_file(root_ + L"\\t\\sub\\b.txt");
  make_folder(root_ + L"\\t\\sub\\empty");
  // t, a.txt, sub, b.txt, empty
  EXPECT_EQ(5u, remove_tree(root_ + L"\\t"));
  EXPECT_FALSE(exists(root_ + L"\\t"));
  EXPECT_TRUE(exists(root_));
}

TEST_F(TreeRemovalTest, TrailingSeparatorNamesTheSameFolder) {
  make_file(root_ + L"\\t\\a.txt");
  EXPECT_EQ(2u, remove_tree(root_ + L"\\t\\"));
  EXPECT_FALSE(exists(root_ + L"\\t"));
}

TEST_F(TreeRemovalTest, MissingPathIsNoError) {
  EXPECT_EQ(0u, remove_tree(root_ + L"\\missing"));
  EXPECT_EQ(0u, remove_tree(root_ + L"\\missing\\deeper"));
}

TEST_F(TreeRemovalTest, RemovesNamesWithoutAnsiForm) {
  make_file(root_ + L"\\t\\\x0436\x4e2d\\\x20ac.txt");
  EXPECT_EQ(3u, remove_tree(root_ + L"\\t"));
  EXPECT_FALSE(exists(root_ + L"\\t"));
}

TEST_F(TreeRemovalTest, ReadOnlyFileLosesTheAttributeAndGoes) {
  make_file(root_ + L"\\t\\locked.txt");
  set_read_only(root_ + L"\\t\\locked.txt", true);
  EXPECT_EQ(2u, remove_tree(root_ + L"\\t"));
  EXPECT_FALSE(exists(root_ + L"\\t"));
}

// A file another handle keeps (with delete sharing) is only marked: its folder cannot go.
TEST_F(TreeRemovalTest, FolderThatCannotGoStopsTheRemovalWithItsError) {
  make_file(root_ + L"\\t\\kept.txt");
  const replay::scoped_handle kept = open_shared(root_ + L"\\t\\kept.txt");
  ASSERT_TRUE(kept);
  try {
    remove_tree(root_ + L"\\t");
    FAIL() << "no exception";
  } catch (const boost::filesystem::filesystem_error& e) {
    EXPECT_EQ(ERROR_DIR_NOT_EMPTY, e.code().value());
  }
  EXPECT_TRUE(exists(root_ + L"\\t"));
}

TEST_F(TreeRemovalTest, SingleFileIsRemoved) {
  make_file(root_ + L"\\f.txt");
  EXPECT_EQ(1u, remove_tree(root_ + L"\\f.txt"));
  EXPECT_FALSE(exists(root_ + L"\\f.txt"));
}

TEST_F(TreeRemovalTest, EntryExistsAndLinkCheckOnPlainEntries) {
  make_file(root_ + L"\\f.txt");
  EXPECT_TRUE(entry_exists(root_ + L"\\f.txt"));
  EXPECT_TRUE(entry_exists(root_ + L"\\"));
  EXPECT_FALSE(entry_exists(root_ + L"\\missing"));
  EXPECT_FALSE(is_link(root_));
  EXPECT_FALSE(is_link(root_ + L"\\missing"));
}

}  // namespace
