// The file listener: line format, byte order mark, creation failure and rotation.
#include "replay/log/file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "replay/log/generic.h"
#include "replay/log/log.h"
#include "replay/log/rotation.h"
#include "replay/mutex/real_mutex.h"
#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/scratch_folder.h"

namespace replay {
namespace {

using test_support::make_file;
using test_support::read_file;
using test_support::scratch_folder;

const std::string kBom = "\xEF\xBB\xBF";

class FileTest : public ::testing::Test {
 protected:
  FileTest() : m_folder(L"log-file") {}
  void TearDown() override { log_shutdown(); }

  std::string base() const { return m_folder / "Test"; }
  std::string current() const { return log::current_file_name(base()); }
  std::string backup(int number) const { return log::backup_file_name(base(), number); }

  scratch_folder m_folder;
};

TEST_F(FileTest, NamesOfFileLockAndBackups) {
  EXPECT_EQ("log-C:_users_me_Temp_CVPurgeline",
            log::file::lock_name("C:\\users\\me\\Temp\\CVPurgeline"));
  EXPECT_EQ("C:\\t\\x.log.txt", log::current_file_name("C:\\t\\x"));
  EXPECT_EQ("C:\\t\\x.3.log.txt", log::backup_file_name("C:\\t\\x", 3));
}

// Every line: header, text, CRLF; one mark at the start of the file.
TEST_F(FileTest, LinesThroughTheFrontEnd) {
  log_add_listener(new log::file(base()));
  const std::string long_text(3000, 'L');
  log_info("progress %d", 1);
  log_error(L"failure %s", L"\u00e9");
  log_print(0, "failed to open file");
  log_info("%s", long_text.c_str());
  log_shutdown();

  const std::string content = read_file(current());
  ASSERT_EQ(kBom, content.substr(0, 3));
  EXPECT_EQ(std::string::npos, content.find(kBom, 3));
  const std::string stamp = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})";
  const std::regex expected(stamp + "    progress 1\r\n" + stamp + " !  failure \xc3\xa9\r\n" +
                            stamp + " #  failed to open file\r\n" + stamp + "    " + long_text +
                            "\r\n");
  EXPECT_TRUE(std::regex_match(content.substr(3), expected)) << content;
}

TEST_F(FileTest, ExistingFileIsAppendedWithoutSecondMark) {
  { log::file(base()).write(1, "H ", "first"); }
  { log::file(base()).write(1, "H ", "second"); }
  EXPECT_EQ(kBom + "H first\r\nH second\r\n", read_file(current()));
}

TEST_F(FileTest, EmptyExistingFileGetsTheMark) {
  make_file(current(), "");
  log::file(base()).write(1, "H ", "x");
  EXPECT_EQ(kBom + "H x\r\n", read_file(current()));
}

TEST_F(FileTest, TwoListenersOnOneFileAppendInTurn) {
  log::file first(base());
  log::file second(base());
  first.write(1, "", "a");
  second.write(1, "", "b");
  first.write(1, "", "c");
  EXPECT_EQ(kBom + "a\r\nb\r\nc\r\n", read_file(current()));
}

// Another process that holds the log's lock, or took its name first with an object of its
// own, delays the log by the lock's patience at most; every line is still written, whole and
// in order.
TEST_F(FileTest, LinesAreWrittenWhileAnotherHoldsTheLock) {
  const std::string name = "Global\\" + log::file::lock_name(base());
  const scoped_handle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const scoped_handle held(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    real_mutex lock(log::file::lock_name(base()));
    lock.lock();
    SetEvent(held.get());
    WaitForSingleObject(release.get(), INFINITE);
    lock.unlock();
  });
  WaitForSingleObject(held.get(), INFINITE);
  {
    log::file listener(base());
    for (const char* text : {"a", "b", "c"}) listener.write(1, "H ", text);
  }
  SetEvent(release.get());
  holder.join();
  EXPECT_EQ(kBom + "H a\r\nH b\r\nH c\r\n", read_file(current())) << name;
}

TEST_F(FileTest, LinesAreWrittenWhenTheLockNameIsTakenByAnother) {
  const std::string name = "Global\\" + log::file::lock_name(base());
  const scoped_handle event(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(event.is_valid());
  {
    log::file listener(base());
    listener.write(1, "H ", "a");
    listener.write(1, "H ", "b");
  }
  EXPECT_EQ(kBom + "H a\r\nH b\r\n", read_file(current()));
}

TEST_F(FileTest, FileThatCannotBeCreatedThrowsLogGeneric) {
  try {
    log::file listener(m_folder / "no such folder\\Test");
    FAIL() << "no exception";
  } catch (const log::generic& e) {
    const std::string what = e.what();
    EXPECT_EQ(0u, what.find("log[CreateFile failed: ")) << what;
    EXPECT_GT(what.size(), std::string("log[CreateFile failed: ]").size()) << what;
    EXPECT_EQ(']', what.back());
  }
}

struct rotation_case {
  const char* name;
  uint32_t backup_count;
  std::vector<int> existing;          // backups present before, holding "B<n>"
  std::vector<std::string> expected;  // contents of backups 1..backup_count after
};

// The current file holds "OLD" and the limit is 1 byte, so the first write rotates.
const rotation_case kRotationCases[] = {
    {"three_none_taken", 3, {}, {"OLD", "<missing>", "<missing>"}},
    {"three_first_two_taken", 3, {1, 2}, {"B1", "B2", "OLD"}},
    {"three_all_taken", 3, {1, 2, 3}, {"B2", "B3", "OLD"}},
    {"three_gap", 3, {2}, {"OLD", "B2", "<missing>"}},
    {"one_none_taken", 1, {}, {"OLD"}},
    {"one_taken_is_replaced", 1, {1}, {"OLD"}},
    {"none_kept", 0, {1}, {"B1"}},
};

TEST_F(FileTest, RotationCases) {
  for (const auto& c : kRotationCases) {
    for (int n = 1; n <= 3; ++n) DeleteFileA(backup(n).c_str());
    make_file(current(), "OLD");
    for (int n : c.existing) make_file(backup(n), "B" + std::to_string(n));
    {
      log::file listener(base(), 1, c.backup_count);
      listener.write(1, "H ", "new");
    }
    EXPECT_EQ(kBom + "H new\r\n", read_file(current())) << c.name;
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(c.expected[i], read_file(backup(static_cast<int>(i + 1)))) << c.name << " " << i;
    }
  }
}

TEST_F(FileTest, SingleBackupIsReplacedOnEveryRotation) {
  log::file listener(base(), 34, 1);
  std::vector<std::string> backups;
  for (int i = 0; i < 6; ++i) {
    listener.write(1, "2024/01/01 00:00:00    ", "line " + std::to_string(i));
    backups.push_back(read_file(backup(1)));
  }
  // The mark and one line make 34 bytes: every further write finds the file full.
  EXPECT_EQ(kBom + "2024/01/01 00:00:00    line 5\r\n", read_file(current()));
  EXPECT_EQ(kBom + "2024/01/01 00:00:00    line 4\r\n", backups[5]);
  EXPECT_EQ(kBom + "2024/01/01 00:00:00    line 0\r\n", backups[1]);
  EXPECT_EQ(std::string::npos, read_file(backup(2)).find("line"));
}

// Backup names taken by folders: copies and moves fail for ever. The rotation gives up the
// backup and only cuts the file, instead of trying without end.
TEST_F(FileTest, RotationGivesUpWhenBackupsCannotBeWritten) {
  for (uint32_t count : {1u, 3u}) {
    for (uint32_t n = 1; n <= count; ++n) CreateDirectoryA(backup(n).c_str(), nullptr);
    make_file(current(), "OLD");
    {
      log::file listener(base(), 1, count);
      listener.write(1, "H ", "after");
    }
    EXPECT_EQ(kBom + "H after\r\n", read_file(current())) << count;
    {
      const scoped_handle current_file(CreateFileA(current().c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_EXISTING, 0, nullptr));
      EXPECT_FALSE(log::copy_to_backup(current_file.get(), base(), count)) << count;
    }
    for (uint32_t n = 1; n <= count; ++n) RemoveDirectoryA(backup(n).c_str());
  }
}

// A size that cannot be read (here: no file at all) never counts as the limit, not even the
// largest limit, which is what a failed size query looks like.
TEST_F(FileTest, UnreadableSizeIsNotTheLimit) {
  EXPECT_FALSE(log::reached_size_limit(nullptr, 0));
  EXPECT_FALSE(log::reached_size_limit(INVALID_HANDLE_VALUE, log::file::kNoLimit));
  make_file(current(), "12345");
  const scoped_handle handle(CreateFileA(current().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(log::reached_size_limit(handle.get(), 5));
  EXPECT_FALSE(log::reached_size_limit(handle.get(), 6));
  EXPECT_FALSE(log::reached_size_limit(handle.get(), log::file::kNoLimit));
}

// A log name planted as a hard link to another file (a name any account may make in a shared
// folder): the other file is neither appended to nor cut by a rotation, and the log is written
// afresh.
TEST_F(FileTest, LogNamePlantedAsHardLinkIsReplaced) {
  const std::string other = m_folder / "other.txt";
  for (uint32_t backup_count : {0u, 1u}) {
    DeleteFileA(current().c_str());
    DeleteFileA(backup(1).c_str());
    make_file(other, "keep");
    ASSERT_TRUE(CreateHardLinkA(current().c_str(), other.c_str(), nullptr));
    {
      // With a limit of 4 bytes the second write rotates: copies the log and cuts it.
      log::file listener(base(), 4, backup_count);
      listener.write(1, "H ", "a");
      listener.write(1, "H ", "b");
    }
    EXPECT_EQ("keep", read_file(other)) << backup_count;
    EXPECT_EQ(kBom + "H b\r\n", read_file(current())) << backup_count;
    if (backup_count == 1) {
      EXPECT_EQ(kBom + "H a\r\n", read_file(backup(1)));
    }
  }
}

// While the log is open, a reader that shares reading and writing but not deleting (as the C
// library's fopen does) can still read it, also when the log replaced a planted name.
TEST_F(FileTest, OpenLogCanBeReadByOthers) {
  const std::string other = m_folder / "other.txt";
  make_file(other, "keep");
  for (bool planted : {false, true}) {
    DeleteFileA(current().c_str());
    if (planted) {
      ASSERT_TRUE(CreateHardLinkA(current().c_str(), other.c_str(), nullptr));
    }
    log::file listener(base());
    listener.write(1, "H ", "x");
    const scoped_handle reader(CreateFileA(current().c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reader.is_valid()) << planted;
  }
}

// Links planted from a shell script (planted_file_links_test.sh): Wine cannot make a symbolic
// link itself, but a Unix one placed in drive_c leads Windows programs to its target.
class PlantedLogLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("CORVANE_PLANTED_LINKS") == nullptr) GTEST_SKIP() << "no planted links";
  }
  void TearDown() override { log_shutdown(); }
  static std::string planted(const std::string& name) { return "C:\\cvfilelinks\\" + name; }
  static std::string victim(const std::string& name) {
    return read_file("C:\\cvfilelinks_victims\\" + name);
  }
};

TEST_F(PlantedLogLinkTest, LogFileIsWrittenAfreshNotThroughTheLink) {
  log_add_listener(new log::file(planted("Log")));
  log_info("line");
  log_shutdown();
  EXPECT_EQ("keep log\n", victim("log.txt"));
  const std::string content = read_file(planted("Log.log.txt"));
  EXPECT_EQ(kBom, content.substr(0, 3));
  EXPECT_NE(std::string::npos, content.find("    line\r\n")) << content;
}

// Backup 1 is a link: the single backup replaces the link's name, never its target.
TEST_F(PlantedLogLinkTest, SingleBackupReplacesTheLinkNotItsTarget) {
  {
    log::file listener(planted("Rot"), 1, 1);
    listener.write(1, "H ", "new");
  }
  EXPECT_EQ("keep rot\n", victim("rot.txt"));
  EXPECT_EQ("OLD\n", read_file(planted("Rot.1.log.txt")));
  EXPECT_EQ(kBom + "H new\r\n", read_file(planted("Rot.log.txt")));
}

// Backup 2 is a link: it counts as taken and is never moved onto backup 1, so the shift stops
// there and the rotation only cuts the log.
TEST_F(PlantedLogLinkTest, ShiftNeverMovesALinksTarget) {
  {
    log::file listener(planted("Shift"), 1, 2);
    listener.write(1, "H ", "new");
  }
  EXPECT_EQ("keep shift\n", victim("shift.txt"));
  EXPECT_EQ("B1\n", read_file(planted("Shift.1.log.txt")));
  EXPECT_EQ("keep shift\n", read_file(planted("Shift.2.log.txt")));
  EXPECT_EQ(kBom + "H new\r\n", read_file(planted("Shift.log.txt")));
}

}  // namespace
}  // namespace replay
