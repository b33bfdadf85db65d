// Plain files where others can create names: a name planted as a hard link to another file is
// never written through; it is replaced, or left alone, and the other file keeps its content.
// (Planted symbolic links are tested through the log and the configuration files, with links
// made from a shell script: Wine cannot make them itself.)
#include "replay/file/plain_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/scratch_folder.h"

namespace replay {
namespace {

using test_support::make_file;
using test_support::read_file;
using test_support::scratch_folder;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kAll = GENERIC_READ | GENERIC_WRITE | DELETE;
// As a log is opened: readers that do not share deleting can still read it.
constexpr DWORD kNoDelete = GENERIC_READ | GENERIC_WRITE;

enum class seed { none, plain, hard_link, folder };

struct plain_file_case {
  const char* name;
  seed planted;
  scoped_handle (*operation)(const std::wstring&, DWORD, DWORD);
  DWORD access;
  bool opens;
  const char* content_after;  // of the name, after "new" was written through the handle
};

const plain_file_case kCases[] = {
    {"append_creates", seed::none, open_plain_file_to_append, kNoDelete, true, "new"},
    {"append_to_plain", seed::plain, open_plain_file_to_append, kNoDelete, true, "oldnew"},
    {"append_replaces_hard_link", seed::hard_link, open_plain_file_to_append, kNoDelete, true,
     "new"},
    {"append_leaves_folder", seed::folder, open_plain_file_to_append, kNoDelete, false,
     "<missing>"},
    {"open_plain", seed::plain, open_plain_file, kAll, true, "oldnew"},
    {"open_refuses_hard_link", seed::hard_link, open_plain_file, kAll, false, "other"},
    {"open_missing", seed::none, open_plain_file, kAll, false, "<missing>"},
    {"create_new", seed::none, create_plain_file, kAll, true, "new"},
    {"create_refuses_plain", seed::plain, create_plain_file, kAll, false, "old"},
    {"create_refuses_hard_link", seed::hard_link, create_plain_file, kAll, false, "other"},
    {"replace_plain", seed::plain, replace_with_plain_file, kAll, true, "new"},
    {"replace_hard_link", seed::hard_link, replace_with_plain_file, kAll, true, "new"},
    {"replace_hard_link_no_delete", seed::hard_link, replace_with_plain_file, kNoDelete, true,
     "new"},
    {"replace_leaves_folder", seed::folder, replace_with_plain_file, kAll, false, "<missing>"},
};

class PlainFileTest : public ::testing::Test {
 protected:
  PlainFileTest() : m_folder(L"plain-file") {}
  std::wstring wide(const std::string& name) const { return ansi_path(m_folder / name); }
  void plant(seed planted) {
    make_file(m_folder / "other", "other");
    if (planted == seed::plain) make_file(m_folder / "name", "old");
    if (planted == seed::hard_link) {
      ASSERT_TRUE(CreateHardLinkW(wide("name").c_str(), wide("other").c_str(), nullptr));
    }
    if (planted == seed::folder) {
      ASSERT_TRUE(CreateDirectoryW(wide("name").c_str(), nullptr));
    }
  }
  void clear() {
    DeleteFileW(wide("name").c_str());
    RemoveDirectoryW(wide("name").c_str());
    DeleteFileW(wide("other").c_str());
  }
  // Files beside the name other than "name" and "other": fresh files left behind.
  int strays() const {
    int count = 0;
    WIN32_FIND_DATAW found;
    find_handle search(FindFirstFileW(wide("*").c_str(), &found));
    if (!search) return count;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L".." && name != L"name" && name != L"other") ++count;
    } while (FindNextFileW(search.get(), &found));
    return count;
  }
  scratch_folder m_folder;
};

TEST_F(PlainFileTest, PlantedNamesAreNeverWrittenThrough) {
  for (const auto& c : kCases) {
    clear();
    plant(c.planted);
    {
      scoped_handle file = c.operation(wide("name"), c.access, kShareAll);
      EXPECT_EQ(c.opens, file.is_valid()) << c.name;
      if (file) {
        SetFilePointer(file.get(), 0, nullptr, FILE_END);
        DWORD written = 0;
        WriteFile(file.get(), "new", 3, &written, nullptr);
      }
    }
    EXPECT_EQ(c.content_after, read_file(m_folder / "name")) << c.name;
    EXPECT_EQ("other", read_file(m_folder / "other")) << c.name;
    EXPECT_EQ(0, strays()) << c.name;
  }
  clear();
}

TEST_F(PlainFileTest, HardLinkIsNotAPlainFile) {
  plant(seed::hard_link);
  EXPECT_FALSE(open_plain_file(wide("name"), kAll, kShareAll).is_valid());
  EXPECT_EQ(kNotAPlainFile, GetLastError());
  EXPECT_FALSE(create_plain_file(wide("name"), kAll, kShareAll).is_valid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
}

// The log's second try shares no deleting: the file renamed over a planted name is opened
// anew, without delete access, and must be the same file.
TEST_F(PlainFileTest, ReplaceForAnOpenThatSharesNoDeleting) {
  plant(seed::hard_link);
  {
    const scoped_handle file =
        replace_with_plain_file(wide("name"), kNoDelete, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_TRUE(file.is_valid());
    DWORD written = 0;
    WriteFile(file.get(), "new", 3, &written, nullptr);
  }
  EXPECT_EQ("new", read_file(m_folder / "name"));
  EXPECT_EQ("other", read_file(m_folder / "other"));
  EXPECT_EQ(0, strays());
  clear();
}

// A rename through the handle moves our file; it replaces a planted name only when asked to.
TEST_F(PlainFileTest, RenameMovesOnlyOurFile) {
  plant(seed::hard_link);
  scoped_handle file = create_plain_file(wide("ours"), kAll, kShareAll);
  ASSERT_TRUE(file.is_valid());
  DWORD written = 0;
  WriteFile(file.get(), "ours", 4, &written, nullptr);
  EXPECT_FALSE(rename_plain_file(file.get(), wide("name"), false));
  EXPECT_EQ("other", read_file(m_folder / "name"));
  EXPECT_TRUE(rename_plain_file(file.get(), wide("name"), true));
  file.reset();
  EXPECT_EQ("ours", read_file(m_folder / "name"));
  EXPECT_EQ("other", read_file(m_folder / "other"));
  EXPECT_EQ("<missing>", read_file(m_folder / "ours"));
  clear();
}

TEST_F(PlainFileTest, DeleteThroughTheHandle) {
  scoped_handle file = create_plain_file(wide("ours"), kAll, kShareAll);
  ASSERT_TRUE(file.is_valid());
  EXPECT_TRUE(delete_plain_file(file.get()));
  file.reset();
  EXPECT_EQ("<missing>", read_file(m_folder / "ours"));
}

}  // namespace
}  // namespace replay
