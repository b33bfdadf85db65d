// The backup of a run's changes and its restore, on a scratch key below HKEY_CURRENT_USER and
// scratch folders: changes are made through the real change layer as the clean-up's call sites
// make them, the backup saves each one before it is made, and a restore puts back what it took.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "backup/backup_index.h"
#include "backup/backup_observer.h"
#include "backup/backup_store.h"
#include "backup/reg_file.h"
#include "backup/restore.h"
#include "replay/change/real_changes.h"
#include "replay/registry2/key.h"
#include "replay/unique_handle.h"
#include "testing/failing_backup_observer.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/registry_seed.h"
#include "testing/scratch_folder.h"
#include "testing/scratch_key.h"
#include "testing/text.h"

namespace {

using replay::change;
using replay::change_kind;
using replay::backup::backup_observer;
using replay::backup::reg_key;
using replay::backup::reg_value;
using replay::backup::restore_backup;
using replay::backup::restore_counts;

reg_value value_of(const std::wstring& name, DWORD type, const std::string& data) {
  reg_value v;
  v.name = name;
  v.type = type;
  v.data = data;
  return v;
}

std::string wide_bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}

TEST(RegFile, EveryKindOfValueReadsBackAsWritten) {
  reg_value absent;
  absent.name = L"gone";
  absent.absent = true;
  const std::vector<reg_value> values = {
      value_of(L"", REG_SZ, wide_bytes(L"default")),
      value_of(L"text", REG_SZ, wide_bytes(L"C:\\Program Files\\\"quoted\"\\")),
      value_of(L"two lines", REG_SZ, wide_bytes(L"a\r\nb")),
      value_of(L"no terminator", REG_SZ, std::string("a\0b", 3)),
      value_of(L"expand", REG_EXPAND_SZ, wide_bytes(L"%ProgramFiles%\\x")),
      value_of(L"multi", REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10)),
      value_of(L"count", REG_DWORD, std::string("\x03\x00\x00\x00", 4)),
      value_of(L"long dword", REG_DWORD, std::string("\x03\x00\x00\x00\x00\x00\x00\x00", 8)),
      value_of(L"qword", REG_QWORD, std::string(8, '\x7f')),
      value_of(L"binary", REG_BINARY, std::string(300, '\xab')),
      value_of(L"empty", REG_BINARY, std::string()),
      value_of(L"none", REG_NONE, std::string("\x01", 1)),
      value_of(L"name \"with\" = [and] \\", REG_DWORD, std::string(4, '\0')),
      absent,
  };
  const std::vector<reg_key> keys = {{L"HKEY_CURRENT_USER\\A", values},
                                     {L"HKEY_CURRENT_USER\\A\\[B] \"c\"", {}}};
  const std::vector<reg_key> back =
      replay::backup::parse_reg_file(replay::backup::reg_file_bytes(keys));
  ASSERT_EQ(2u, back.size());
  EXPECT_EQ(keys[1].name, back[1].name);
  ASSERT_EQ(values.size(), back[0].values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(test_support::utf8(values[i].name));
    EXPECT_EQ(values[i].name, back[0].values[i].name);
    EXPECT_EQ(values[i].absent, back[0].values[i].absent);
    if (values[i].absent) continue;
    EXPECT_EQ(values[i].type, back[0].values[i].type);
    EXPECT_EQ(values[i].data, back[0].values[i].data);
  }
}

TEST(RegFile, ReadsLongHexValuesWrappedOverLines) {
  const std::wstring text =
      L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
      L"\"m\"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,00,00\r\n\"s\"=\"a\\\\b\"\r\n";
  const std::vector<reg_key> keys = replay::backup::parse_reg_file(
      std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  ASSERT_EQ(1u, keys.size());
  ASSERT_EQ(2u, keys[0].values.size());
  EXPECT_EQ(std::string("a\0\0\0b\0\0\0\0\0", 10), keys[0].values[0].data);
  EXPECT_EQ(wide_bytes(L"a\\b"), keys[0].values[1].data);
}

TEST(BackupIndex, FieldsWithTabsLineBreaksAndPercentReadBack) {
  replay::backup::index_entry e;
  e.number = 12;
  e.kind = change_kind::set_value;
  e.view = replay::registry_view::view_32;
  e.where = L"HKLM\\SOFTWARE\\100% sure\tx";
  e.value = L"line\r\nbreak \x00e9";
  e.saved = L"00003.reg";
  e.extra = L"00004.after.reg";
  replay::backup::index_entry back;
  ASSERT_TRUE(replay::backup::read_index_line(replay::backup::index_line(e), back));
  EXPECT_EQ(e.number, back.number);
  EXPECT_EQ(e.kind, back.kind);
  EXPECT_EQ(e.view, back.view);
  EXPECT_EQ(e.where, back.where);
  EXPECT_EQ(e.value, back.value);
  EXPECT_EQ(e.saved, back.saved);
  EXPECT_EQ(e.extra, back.extra);
  replay::backup::index_entry none;
  EXPECT_FALSE(replay::backup::read_index_line("12\tbreak everything\t-\tC:\\x\t\t-\t", none));
}

// An index others may have changed: an escape that is not "%" and two hexadecimal digits, or
// that stands for a NUL (which would cut a path short), makes its line unreadable rather than
// some other name.
TEST(BackupIndex, MalformedEscapesMakeTheLineUnreadable) {
  const char* const lines[] = {
      "1\tdelete file\t-\tC:\\Windows\\System32\\x.dll%00.txt\t\t-\t",
      "2\tdelete file\t-\tC:\\ProgramData\\%zzCorvane\t\t-\t",
      "3\tdelete file\t-\tC:\\ProgramData\\Corvane\t\tfiles\\C\\a%4\t",
      "4\tdelete file\t-\tC:\\ProgramData\\Corvane\t\t-\tfolder%",
  };
  for (const char* line : lines) {
    replay::backup::index_entry e;
    EXPECT_FALSE(replay::backup::read_index_line(line, e)) << line;
  }
  int unreadable = 0;
  const std::string text = std::string(lines[0]) + "\r\n" + lines[1] +
                           "\r\n5\tdelete file\t-\tC:\\ProgramData\\100%25\t\t-\t\r\n";
  const std::vector<replay::backup::index_entry> read =
      replay::backup::read_index(text, &unreadable);
  EXPECT_EQ(2, unreadable);
  ASSERT_EQ(1u, read.size());
  EXPECT_EQ(L"C:\\ProgramData\\100%", read[0].where);
}

TEST(SavedFilePath, KeepsThePathBelowFilesAndRefusesDotDot) {
  const std::vector<std::pair<std::wstring, std::wstring>> cases = {
      {L"C:\\ProgramData\\Corvane\\a.txt", L"files\\C\\ProgramData\\Corvane\\a.txt"},
      {L"c:\\x", L"files\\C\\x"},
      {L"\\\\?\\D:\\y\\z", L"files\\D\\y\\z"},
      {L"\\\\server\\share\\f", L"files\\UNC\\server\\share\\f"},
      {L"C:\\a\\..\\..\\Windows\\f", L""},
      {L"C:\\a\\.\\f", L""},
      {L"relative\\f", L""},
      {L"C:\\a\\f:stream", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.second, replay::backup::saved_file_path(c.first)) << test_support::utf8(c.first);
  }
}

// For one scope, a real layer of its own with the backup on it is the process's layer, as in a
// run with a backup.
class observer_scope {
 public:
  explicit observer_scope(backup_observer& o) : m_installed(m_layer) { m_layer.set_observer(&o); }
  observer_scope(const observer_scope&) = delete;
  observer_scope& operator=(const observer_scope&) = delete;

 private:
  replay::real_changes m_layer;
  replay::changes_scope m_installed;
};

std::string hex(const std::string& bytes) {
  std::string out;
  char byte[4];
  for (unsigned char c : bytes) {
    std::snprintf(byte, sizeof byte, "%02x", c);
    out += byte;
  }
  return out;
}

// Every key and value below `path`, one line each.
void list_keys(HKEY root, const std::wstring& path, const std::string& label,
               std::vector<std::string>& lines) {
  replay::unique_hkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return;
  lines.push_back("key " + label);
  wchar_t name[260];
  BYTE data[2048];
  for (DWORD i = 0;; ++i) {
    DWORD length = 260, size = sizeof data, type = 0;
    if (RegEnumValueW(key.get(), i, name, &length, nullptr, &type, data, &size) != ERROR_SUCCESS) {
      break;
    }
    lines.push_back("value " + label + " [" + test_support::utf8(name) + "] " +
                    std::to_string(type) + ":" +
                    hex(std::string(reinterpret_cast<char*>(data), size)));
  }
  for (DWORD i = 0;; ++i) {
    DWORD length = 260;
    if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    list_keys(root, path + L"\\" + name, label + "\\" + test_support::utf8(name), lines);
  }
}

// Every file and folder below `path` with its attributes; files with their content and times.
void list_files(const std::wstring& path, const std::string& label,
                std::vector<std::string>& lines) {
  WIN32_FIND_DATAW found;
  replay::find_handle search(FindFirstFileW((path + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::string item = label + "\\" + test_support::utf8(name);
    const std::string attributes = std::to_string(found.dwFileAttributes);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      lines.push_back("folder " + item + " " + attributes);
      list_files(path + L"\\" + name, item, lines);
    } else {
      lines.push_back("file " + item + " " + attributes + " " +
                      std::to_string(found.ftLastWriteTime.dwLowDateTime) + " " +
                      std::to_string(found.ftCreationTime.dwLowDateTime) + " " +
                      test_support::read_file(path + L"\\" + name));
    }
  } while (FindNextFileW(search.get(), &found));
}

// The item of a change the scratch run makes, and whether it is there now.
struct run_item {
  std::string name;
  std::function<bool()> present;
};

// A small machine: a key tree, values and a folder tree of the suite, all in scratch places,
// removed the way the clean-up removes them.
class BackupAndRestore : public ::testing::Test {
 protected:
  BackupAndRestore()
      : key(L"Software\\CorvaneBackupTest"), machine(L"backup-machine"), backups(L"backup-store") {}

  void SetUp() override {
    using namespace test_support;
    ASSERT_TRUE(seed_registry({
        string_row(HKEY_CURRENT_USER, 0, product(), L"", L"default text"),
        dword_row(HKEY_CURRENT_USER, 0, product(), L"Count", 3),
        string_row(HKEY_CURRENT_USER, 0, product() + L"\\Sub", L"Path", L"C:\\x"),
        key_row(HKEY_CURRENT_USER, 0, product() + L"\\Sub\\Deeper"),
        dword_row(HKEY_CURRENT_USER, 0, shared(), L"SharedCount", 4),
        string_row(HKEY_CURRENT_USER, 0, shared(), L"Component", L"C:\\corvane.dll"),
    }));
    const std::string multi("a\0\0\0b\0\0\0\0\0", 10);
    ASSERT_TRUE(set_value(HKEY_CURRENT_USER, 0, product() + L"\\Sub", L"List", REG_MULTI_SZ,
                          multi.data(), static_cast<DWORD>(multi.size())));
    ASSERT_TRUE(seed_files({{data(L"a.txt"), "alpha"},
                            {data(L"nested\\b.bin"), std::string("b\0b", 3)},
                            {machine.path(L"config.cfg"), "old config"}}));
    set_read_only(data(L"a.txt"), true);
    const FILETIME old_time = {0x12345678, 0x01d00000};
    replay::scoped_handle file(CreateFileW(data(L"nested\\b.bin").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.get(), &old_time, nullptr, &old_time);
    file.reset();
    before = state();
  }

  std::wstring product() const { return key.path() + L"\\Product"; }
  std::wstring shared() const { return key.path() + L"\\Shared"; }
  std::wstring data(const std::wstring& name = L"") const {
    return machine.path(L"Data") + (name.empty() ? L"" : L"\\" + name);
  }
  std::wstring backup_folder() const { return backups.path(L"backup"); }

  std::vector<std::string> state() const {
    std::vector<std::string> lines;
    list_keys(HKEY_CURRENT_USER, key.path(), "scratch", lines);
    list_files(machine.path(), "machine", lines);
    return lines;
  }

  // Makes the run's changes as the clean-up's call sites make them; a refused or failed change
  // is left, as they leave it, and the run goes on.
  void run() {
    replay::registry2::key user(HKEY_CURRENT_USER);
    try_step([&] { user.open(shared()).set_dword(L"SharedCount", 3); });
    try_step([&] { user.open(shared()).delete_value(L"Component"); });
    try_step([&] { user.open(key.path()).delete_key(L"Product", true); });
    end_process();
    for (const wchar_t* name : {L"a.txt", L"nested\\b.bin"})
      file_change(change_kind::delete_file, data(name));
    file_change(change_kind::remove_folder, data(L"nested"));
    file_change(change_kind::remove_folder, data());
    write_config("new config");
  }

  // What the run removes or changes, each with a check that it is as before.
  std::vector<run_item> items() const {
    using namespace test_support;
    return {
        {"SharedCount",
         [this] { return get_dword(HKEY_CURRENT_USER, 0, shared(), L"SharedCount") == 4; }},
        {"Component",
         [this] { return value_exists(HKEY_CURRENT_USER, 0, shared(), L"Component"); }},
        {"Deeper",
         [this] { return key_exists(HKEY_CURRENT_USER, 0, product() + L"\\Sub\\Deeper"); }},
        {"Sub", [this] { return key_exists(HKEY_CURRENT_USER, 0, product() + L"\\Sub"); }},
        {"Product", [this] { return key_exists(HKEY_CURRENT_USER, 0, product()); }},
        {"cvagent.exe", [this] { return !process_ended; }},
        {"a.txt", [this] { return exists(data(L"a.txt")); }},
        {"b.bin", [this] { return exists(data(L"nested\\b.bin")); }},
        {"nested", [this] { return exists(data(L"nested")); }},
        {"Data", [this] { return exists(data()); }},
        {"config.cfg", [this] { return read_file(machine.path(L"config.cfg")) == "old config"; }},
    };
  }

  static void try_step(const std::function<void()>& step) {
    try {
      step();
    } catch (const replay::exception&) {
    }
  }

  // Stands for ending a process: nothing to save, nothing to put back.
  void end_process() {
    change c;
    c.kind = change_kind::end_process;
    c.where = L"cvagent.exe";
    c.detail = L"process id 42";
    replay::changes().make(c, [this] {
      process_ended = true;
      return DWORD(0);
    });
  }

  static void file_change(change_kind kind, const std::wstring& path) {
    change c;
    c.kind = kind;
    c.where = path;
    replay::changes().make(c, [&] {
      if (kind == change_kind::remove_folder)
        return RemoveDirectoryW(path.c_str()) ? DWORD(0) : GetLastError();
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      return DeleteFileW(path.c_str()) ? DWORD(0) : GetLastError();
    });
  }

  void write_config(const std::string& content) {
    change c;
    c.kind = change_kind::write_file;
    c.where = machine.path(L"config.cfg");
    c.data = content;
    replay::changes().make(c, [&] {
      return test_support::make_file(c.where, content) ? DWORD(0) : DWORD(ERROR_WRITE_FAULT);
    });
  }

  restore_counts restore() { return restore_backup(backup_folder()); }

  void run_with_backup(int failing_save = 0) {
    test_support::make_folder(backup_folder());
    test_support::failing_backup_observer observer(backup_folder(), failing_save, ERROR_DISK_FULL);
    observer_scope scope(observer);
    run();
  }

  test_support::scratch_key key;
  test_support::scratch_folder machine;
  test_support::scratch_folder backups;
  std::vector<std::string> before;
  bool process_ended = false;
};

TEST_F(BackupAndRestore, RestoreBringsBackEverythingTheRunTookAndASecondRestoreFindsItInPlace) {
  run_with_backup();
  for (const run_item& item : items())
    EXPECT_FALSE(item.present()) << item.name << " was not changed";
  const std::string index = test_support::read_file(backup_folder() + L"\\index.txt");
  // One line per change, in the order they were made; the key tree is exported once.
  const std::vector<replay::backup::index_entry> entries = replay::backup::read_index(index);
  std::vector<std::string> kinds;
  for (const auto& e : entries) kinds.push_back(replay::change_kind_text(e.kind));
  EXPECT_EQ((std::vector<std::string>{"set value", "delete value", "delete key", "delete key",
                                      "delete key", "end process", "delete file", "delete file",
                                      "remove folder", "remove folder", "write file"}),
            kinds);
  ASSERT_EQ(11u, entries.size());
  EXPECT_EQ(entries[2].saved, entries[4].saved) << "the tree is exported once";
  EXPECT_TRUE(test_support::exists(backup_folder() + L"\\" + entries[6].saved));

  test_support::captured_log log;
  const restore_counts first = restore();
  EXPECT_EQ(before, state());
  EXPECT_EQ(10, first.restored);
  EXPECT_EQ(1, first.lost);
  EXPECT_EQ(0, first.conflicts);
  EXPECT_TRUE(log.contains(
      "cannot be restored: end process cvagent.exe (a process that was ended cannot come back)"));
  EXPECT_TRUE(log.contains("restored: delete key HKCU\\Software\\CorvaneBackupTest\\Product"));

  const restore_counts second = restore();
  EXPECT_EQ(before, state());
  EXPECT_EQ(0, second.restored);
  EXPECT_EQ(10, second.present);
  EXPECT_EQ(0, second.conflicts);
}

TEST_F(BackupAndRestore, RestoreKeepsWhatWasMadeAgainAndLogsTheConflict) {
  using namespace test_support;
  run_with_backup();
  ASSERT_TRUE(make_file(data(L"a.txt"), "made again"));
  ASSERT_TRUE(set_dword(HKEY_CURRENT_USER, 0, product(), L"Count", 7));
  ASSERT_TRUE(make_file(machine.path(L"config.cfg"), "changed since"));

  captured_log log;
  const restore_counts counts = restore();
  EXPECT_EQ(3, counts.conflicts);
  EXPECT_EQ("made again", read_file(data(L"a.txt")));
  EXPECT_EQ(7u, get_dword(HKEY_CURRENT_USER, 0, product(), L"Count"));
  EXPECT_EQ("changed since", read_file(machine.path(L"config.cfg")));
  EXPECT_TRUE(log.contains("conflict, kept what is there: delete file " + utf8(data(L"a.txt"))));
  EXPECT_TRUE(
      log.contains("conflict, kept what is there: delete key "
                   "HKCU\\Software\\CorvaneBackupTest\\Product (value [Count] differs)"));
  // The rest came back.
  EXPECT_EQ(std::string("b\0b", 3), read_file(data(L"nested\\b.bin")));
  EXPECT_EQ("\"default text\"", value_state(HKEY_CURRENT_USER, 0, product(), L""));
  EXPECT_EQ("\"C:\\x\"", value_state(HKEY_CURRENT_USER, 0, product() + L"\\Sub", L"Path"));
  EXPECT_EQ(4u, get_dword(HKEY_CURRENT_USER, 0, shared(), L"SharedCount"));
}

// Whichever save fails, every item is either still there or gone with its backup: the restore
// then brings the machine back to what it was.
TEST_F(BackupAndRestore, AFailingSaveStopsItsChangeAndNothingGoesWithoutItsBackup) {
  const int changes = 11;
  for (int failing = 1; failing <= changes; ++failing) {
    SCOPED_TRACE("save " + std::to_string(failing) + " fails");
    test_support::remove_forced(backup_folder());
    process_ended = false;
    {
      test_support::captured_log log;
      run_with_backup(failing);
      EXPECT_TRUE(log.contains("   skipped: no backup of ")) << "nothing logged";
    }
    int unchanged = 0;
    for (const run_item& item : items()) unchanged += item.present() ? 1 : 0;
    EXPECT_GE(unchanged, 1);
    restore();
    ASSERT_EQ(before, state());  // the next round starts from the seeded machine
  }
}

// A journal the run writes for itself and deletes before it ends was never on the machine:
// the restore does not make it.
TEST_F(BackupAndRestore, AKeyTheRunMadeAndDeletedIsNotMadeByTheRestore) {
  test_support::make_folder(backup_folder());
  {
    backup_observer observer(backup_folder());
    observer_scope scope(observer);
    replay::registry2::key user(HKEY_CURRENT_USER);
    replay::registry2::key journal = user.open(key.path() + L"\\Journal\\Codes", true);
    journal.set_string(L"{A}", L"1");
    user.open(key.path() + L"\\Journal").set_dword(L"Stage", 2);
    journal = replay::registry2::key(HKEY_CURRENT_USER);
    user.open(key.path()).delete_key(L"Journal", true);
  }
  ASSERT_EQ(before, state());
  test_support::captured_log log;
  const restore_counts counts = restore();
  EXPECT_EQ(before, state());
  EXPECT_EQ(0, counts.restored);
  EXPECT_TRUE(
      log.contains("delete key HKCU\\Software\\CorvaneBackupTest\\Journal (the run made it"));
}

// A file the run writes and later deletes comes back as it was before the run, and a second
// restore finds it so, without a conflict.
TEST_F(BackupAndRestore, AFileWrittenThenDeletedComesBackAsItWasBeforeTheRun) {
  test_support::make_folder(backup_folder());
  {
    backup_observer observer(backup_folder());
    observer_scope scope(observer);
    write_config("new config");
    file_change(change_kind::delete_file, machine.path(L"config.cfg"));
  }
  ASSERT_FALSE(test_support::exists(machine.path(L"config.cfg")));
  restore();
  EXPECT_EQ(before, state());
  test_support::captured_log log;
  const restore_counts again = restore();
  EXPECT_EQ(before, state());
  EXPECT_EQ(0, again.conflicts);
  EXPECT_EQ(0, again.restored);
}

}  // namespace
