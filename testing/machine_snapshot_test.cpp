// The machine snapshot against a real prefix: it must see each kind of change a clean-up makes,
// say it in the agreed words, and see nothing on a machine that nobody touched.
#include "testing/machine_snapshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "replay/unique_handle.h"

namespace {

using test_support::compare;
using test_support::item_within;
using test_support::machine_change;
using test_support::machine_snapshot;
using test_support::take_machine_snapshot;

const wchar_t kKey[] = L"Software\\SnapshotTest";
const wchar_t kFolder[] = L"C:\\snapshot_test";

std::vector<std::string> texts(const std::vector<machine_change>& changes) {
  std::vector<std::string> out;
  for (const machine_change& change : changes) out.push_back(change.text());
  return out;
}

// The changes within `path`, as text.
std::vector<std::string> changes_within(const std::vector<machine_change>& changes,
                                        const std::string& path) {
  std::vector<std::string> out;
  for (const machine_change& change : changes) {
    if (item_within(change.item, path)) out.push_back(change.text());
  }
  return out;
}

void set_dword(const wchar_t* name, DWORD value) {
  replay::unique_hkey key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, key.receive(), nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), name, 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

void write_file(const std::wstring& path, const char* text) {
  replay::scoped_handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr));
}

std::wstring helper_path(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return path.substr(0, path.rfind(L'\\') + 1) + name;
}

class machine_snapshot_test : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    DeleteFileW((std::wstring(kFolder) + L"\\data.txt").c_str());
    RemoveDirectoryW(kFolder);
  }
};

TEST_F(machine_snapshot_test, UntouchedMachineShowsNoChange) {
  const DWORD start = GetTickCount();
  const machine_snapshot before = take_machine_snapshot();
  std::printf("snapshot: %zu items in %lu ms (%s)\n", before.items.size(),
              static_cast<unsigned long>(GetTickCount() - start), before.timing.c_str());
  EXPECT_GT(before.items.size(), 1000u);
  EXPECT_EQ(std::vector<std::string>(), texts(compare(before, take_machine_snapshot())));
}

TEST_F(machine_snapshot_test, RecordsEveryKindOfMachineState) {
  const machine_snapshot snapshot = take_machine_snapshot();
  // Windows names are compared without regard to case.
  const auto has = [&](const std::string& item) {
    return std::any_of(snapshot.items.begin(), snapshot.items.end(), [&](const auto& entry) {
      return lstrcmpiA(entry.first.c_str(), item.c_str()) == 0;
    });
  };
  EXPECT_TRUE(has("key HKLM\\SOFTWARE\\Microsoft"));
  EXPECT_TRUE(has("key HKCU\\Software"));
  EXPECT_TRUE(has("key HKU\\.Default"));
  EXPECT_TRUE(has("file C:\\windows"));
  EXPECT_EQ("folder", snapshot.items.at("file C:\\windows"));  // as Wine names it
  EXPECT_TRUE(std::any_of(snapshot.items.begin(), snapshot.items.end(), [](const auto& item) {
    return item.first.rfind("service ", 0) == 0 && item.second == "running";
  }));
  EXPECT_TRUE(has("process services.exe"));
}

TEST_F(machine_snapshot_test, RegistryChangesAreNamedKeyByKeyAndValueByValue) {
  const machine_snapshot empty = take_machine_snapshot();
  set_dword(L"count", 3);
  const machine_snapshot three = take_machine_snapshot();
  set_dword(L"count", 2);
  const machine_snapshot two = take_machine_snapshot();
  RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  const machine_snapshot gone = take_machine_snapshot();

  const std::string key = "HKCU\\Software\\SnapshotTest";
  EXPECT_EQ((std::vector<std::string>{"key " + key + ": absent -> present",
                                      "value " + key + " [count]: absent -> 3"}),
            texts(compare(empty, three)));
  EXPECT_EQ(std::vector<std::string>{"value " + key + " [count]: 3 -> 2"},
            texts(compare(three, two)));
  EXPECT_EQ((std::vector<std::string>{"key " + key + ": present -> absent",
                                      "value " + key + " [count]: 2 -> absent"}),
            texts(compare(two, gone)));
}

TEST_F(machine_snapshot_test, FileChangesShowSizeAndAttributes) {
  const machine_snapshot before = take_machine_snapshot();
  ASSERT_TRUE(CreateDirectoryW(kFolder, nullptr));
  write_file(std::wstring(kFolder) + L"\\data.txt", "hello");
  const machine_snapshot written = take_machine_snapshot();
  SetFileAttributesW((std::wstring(kFolder) + L"\\data.txt").c_str(),
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  const machine_snapshot read_only = take_machine_snapshot();

  EXPECT_EQ((std::vector<std::string>{
                "file C:\\snapshot_test: absent -> folder",
                "file C:\\snapshot_test\\data.txt: absent -> 5 bytes, attributes 0x20"}),
            changes_within(compare(before, written), "C:\\snapshot_test"));
  EXPECT_EQ((std::vector<std::string>{"file C:\\snapshot_test\\data.txt: 5 bytes, attributes "
                                      "0x20 -> 5 bytes, attributes 0x21"}),
            texts(compare(written, read_only)));
  SetFileAttributesW((std::wstring(kFolder) + L"\\data.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(machine_snapshot_test, ProcessesAreCountedByImageName) {
  const machine_snapshot before = take_machine_snapshot();
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::wstring command = L"\"" + helper_path(L"sleeper.exe") + L"\" 60000";
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  replay::scoped_handle process(info.hProcess), thread(info.hThread);
  const machine_snapshot running = take_machine_snapshot();
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 10000);

  EXPECT_EQ(std::vector<std::string>{"process sleeper.exe: absent -> 1 running"},
            texts(compare(before, running)));
}

TEST(machine_snapshot_compare, ItemWithinMatchesWholeNamesOfAnyKind) {
  struct row {
    const char* item;
    const char* path;
    bool within;
  };
  const row rows[] = {
      {"key HKLM\\SOFTWARE\\Corvane", "HKLM\\SOFTWARE\\Corvane", true},
      {"key HKLM\\SOFTWARE\\Corvane\\Sub", "hklm\\software\\corvane", true},
      {"value HKLM\\SOFTWARE\\Corvane [Version]", "HKLM\\SOFTWARE\\Corvane", true},
      {"key HKLM\\SOFTWARE\\Corvane Toolbar", "HKLM\\SOFTWARE\\Corvane", false},
      {"key HKLM\\SOFTWARE\\CorvaneX", "HKLM\\SOFTWARE\\Corvane", false},
      {"file C:\\ProgramData\\Corvane\\a.txt", "C:\\ProgramData\\Corvane", true},
      {"file C:\\ProgramData\\Corvane.txt", "C:\\ProgramData\\Corvane", false},
  };
  for (const row& r : rows) EXPECT_EQ(r.within, item_within(r.item, r.path)) << r.item;
}

TEST(machine_snapshot_compare, ListsAddedRemovedAndChangedItemsInOrder) {
  machine_snapshot before, after;
  before.items = {{"a", "1"}, {"b", "present"}, {"c", "x"}};
  after.items = {{"a", "1"}, {"c", "y"}, {"d", "present"}};
  EXPECT_EQ((std::vector<std::string>{"b: present -> absent", "c: x -> y", "d: absent -> present"}),
            texts(compare(before, after)));
}

TEST(machine_snapshot_compare, SavedSnapshotReadsBackItemForItem) {
  machine_snapshot saved;
  saved.items = {{"key HKCU\\Software\\a\tb", "present"},
                 {"value HKCU\\Software\\x [100%]", "\"line\nbreak\""},
                 {"file C:\\a.txt", "5 bytes, attributes 0x20"}};
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"snapshot_round_trip.txt";
  test_support::save_snapshot(saved, path);
  const machine_snapshot loaded = test_support::load_snapshot(path);
  DeleteFileW(path.c_str());
  EXPECT_EQ(saved.items, loaded.items);
}

}  // namespace
