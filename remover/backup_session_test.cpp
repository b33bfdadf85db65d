// The exit code of a restore run: 0 only when every item of the backup is in place afterwards,
// whatever cannot come back by nature (an ended process) aside; the last log line sums it up.
// Each case is a small backup made by hand, restored onto a scratch folder. And where a run's
// backup may not go: into a folder the run removes.
#include "remover/backup_session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup/backup_index.h"
#include "backup/backup_store.h"
#include "cleanup/shell_folders.h"
#include "remover/purgeline_main.h"
#include "remover/temp_folder.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/scratch_folder.h"
#include "testing/text.h"

namespace {

using replay::backup::index_entry;

struct restore_case {
  const char* name;
  bool saved_copy;         // the backup holds the deleted file's copy
  const char* on_machine;  // what the machine holds at the file's place now; null: nothing
  bool unreadable_line;    // the index has a line that cannot be read
  int exit_code;
  const char* verdict;  // the end of the last log line
};

const restore_case kCases[] = {
    {"put back", true, nullptr, false, 0, ": every item is in place"},
    {"already in place", true, "saved", false, 0, ": every item is in place"},
    {"conflict kept", true, "made again", false, 1, ": some items are not in place"},
    {"saved copy missing", false, nullptr, false, 1, ": some items are not in place"},
    {"unreadable index line", true, "saved", true, 1, ": some items are not in place"},
};

std::string index_of(const std::wstring& file, bool unreadable_line) {
  index_entry ended;
  ended.number = 1;
  ended.kind = replay::change_kind::end_process;
  ended.where = L"cvagent.exe";
  index_entry deleted;
  deleted.number = 2;
  deleted.kind = replay::change_kind::delete_file;
  deleted.where = file;
  deleted.saved = replay::backup::saved_file_path(file);
  return replay::backup::index_line(ended) + "\r\n" + replay::backup::index_line(deleted) + "\r\n" +
         (unreadable_line ? "3\tdelete file\t-\tC:\\x%zz\t\t-\t\r\n" : "");
}

TEST(RestoreRun, ExitsZeroOnlyWhenEveryItemIsInPlaceAndSaysSoLast) {
  for (const restore_case& c : kCases) {
    SCOPED_TRACE(c.name);
    test_support::scratch_folder machine(L"restore-machine");
    test_support::scratch_folder backup(L"restore-backup");
    const std::wstring file = machine.path(L"a.txt");
    const std::wstring saved = replay::backup::saved_file_path(file);
    ASSERT_TRUE(test_support::make_file(backup.path(replay::backup::kIndexName),
                                        index_of(file, c.unreadable_line)));
    if (c.saved_copy) {
      ASSERT_EQ(0u, replay::backup::make_plain_folders(backup.path(),
                                                       saved.substr(0, saved.rfind(L'\\'))));
      ASSERT_TRUE(test_support::make_file(backup.path(saved), "saved"));
    }
    if (c.on_machine) {
      ASSERT_TRUE(test_support::make_file(file, c.on_machine));
    }

    std::vector<std::string> lines;
    int exit_code = -1;
    {
      const test_support::captured_log log;
      exit_code = run_restore(test_support::utf8(backup.path()));
      lines = log.texts();
    }
    EXPECT_EQ(c.exit_code, exit_code);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(0u, lines.back().find("Restore done: ")) << lines.back();
    EXPECT_NE(std::string::npos, lines.back().find(c.verdict)) << lines.back();
    EXPECT_NE(std::string::npos, lines.back().find("1 that cannot come back by nature"))
        << lines.back();
  }
}

// A backup inside a folder the run removes would be taken away by the run it protects: such a
// folder is refused before anything is removed.
TEST(BackupFolder, InsideAFolderTheRunRemovesIsRefusedAndNothingIsRemoved) {
  const std::string kept = common_appdata_folder() + "Corvane\\kept.txt";
  ASSERT_TRUE(test_support::make_file(kept, "kept"));
  std::string profiles = profile_folder();
  while (!profiles.empty() && profiles.back() == '\\') profiles.pop_back();
  profiles = profiles.substr(0, profiles.rfind('\\'));
  const std::string folders[] = {
      common_appdata_folder() + "Corvane\\backup",
      program_files_folder() + "Ravelins\\Corvane\\backup",
      common_appdata_folder() + "Ravelins\\Suite\\backup",
      profiles + "\\someone\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins\\b",
  };
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    const test_support::captured_log log;
    EXPECT_EQ(1, purgeline_main("/backup:\"" + folder + "\""));
    EXPECT_TRUE(log.contains("which the run removes")) << "no reason logged";
    EXPECT_TRUE(log.contains("ATTENTION: the backup cannot be made: nothing is removed"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
    EXPECT_EQ("kept", test_support::read_file(kept)) << "the pass ran";
  }
  test_support::remove_forced(test_support::wide(common_appdata_folder() + "Corvane"));
  DeleteFileA((log_base_name() + ".log.txt").c_str());
}

}  // namespace
