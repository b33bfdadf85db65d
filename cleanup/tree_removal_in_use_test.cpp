// Files in use inside a folder being removed: left to the next restart with the folders they
// keep, while the rest of the folder goes. The system records such requests in the value
// PendingFileRenameOperations (pairs of an NT path and an empty target); the test reads it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "cleanup/folders.h"
#include "replay/change/change_layer.h"
#include "replay/change/planned_changes.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/scratch_folder.h"

namespace {

using namespace test_support;

using lines = std::vector<std::string>;

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPending[] = L"PendingFileRenameOperations";

// The paths scheduled for deletion at the next restart, in order ("\??\" taken off).
std::vector<std::wstring> pending_deletions() {
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr,
                   nullptr, &size) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 2);
  RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr,
               text.data(), &size);
  std::vector<std::wstring> deleted;
  for (const wchar_t* item = text.data(); *item != 0;) {
    const std::wstring source = item;
    item += source.size() + 1;
    const std::wstring target = item;  // empty: a deletion
    item += target.size() + 1;
    if (target.empty()) deleted.push_back(source.substr(source.rfind(L"\\??\\", 0) == 0 ? 4 : 0));
  }
  return deleted;
}

class TreeRemovalInUseTest : public testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending); }
  void TearDown() override { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending); }
};

std::ptrdiff_t position(const std::vector<std::wstring>& items, const std::wstring& item) {
  const auto found = std::find(items.begin(), items.end(), item);
  return found == items.end() ? -1 : found - items.begin();
}

// A helper runs from inside the tree (its image is in use) and holds a data file open without
// delete sharing. Both are left to the restart, each folder after what it holds; every other
// entry goes, the read-only one too.
TEST_F(TreeRemovalInUseTest, FilesInUseAreLeftToTheRestartAndTheRestGoes) {
  scratch_folder scratch;
  const std::wstring tree = scratch.path() + L"\\t";
  const std::wstring held = tree + L"\\data\\held.txt";
  make_file(held);
  make_file(tree + L"\\data\\other.txt");
  make_file(tree + L"\\a.txt");
  make_file(tree + L"\\ro.txt");
  set_read_only(tree + L"\\ro.txt", true);
  make_folder(tree + L"\\empty");
  const std::wstring image = scratch.place(L"file_holder", L"t\\bin", L"holder.exe");
  const child_process holder(image, L"\"" + held + L"\"");
  ASSERT_TRUE(holder.started());
  ASSERT_TRUE(eventually([&] {
    const replay::scoped_handle probe(
        CreateFileW(held.c_str(), DELETE, 7, nullptr, OPEN_EXISTING, 0, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
  }));

  captured_log log;
  const std::string narrow_tree = replay::to_narrow(tree);
  EXPECT_TRUE(remove_folder(narrow_tree));

  const std::vector<std::wstring> pending = pending_deletions();
  const std::ptrdiff_t held_at = position(pending, held);
  const std::ptrdiff_t image_at = position(pending, image);
  const std::ptrdiff_t data_at = position(pending, tree + L"\\data");
  const std::ptrdiff_t bin_at = position(pending, tree + L"\\bin");
  const std::ptrdiff_t tree_at = position(pending, tree);
  ASSERT_EQ(5u, pending.size());
  EXPECT_TRUE(held_at >= 0 && held_at < data_at && data_at < tree_at);
  EXPECT_TRUE(image_at >= 0 && image_at < bin_at && bin_at < tree_at);

  for (const wchar_t* gone : {L"\\data\\other.txt", L"\\a.txt", L"\\ro.txt", L"\\empty"}) {
    EXPECT_FALSE(exists(tree + gone)) << replay::to_narrow(gone);
  }
  EXPECT_TRUE(exists(held));
  EXPECT_TRUE(exists(image));
  EXPECT_TRUE(log.contains("'" + replay::to_narrow(held) +
                           "' is in use: it will be removed at the next restart"));
  EXPECT_TRUE(log.contains("'" + replay::to_narrow(image) +
                           "' is in use: it will be removed at the next restart"));
  EXPECT_TRUE(
      log.contains("'" + narrow_tree +
                   "\\data' will be removed at the next restart, after what is in use in it"));
  EXPECT_EQ(". Folder '" + narrow_tree + "' will be removed at the next restart",
            log.texts().back());
}

// A registered service runs its program from the tree: the clean-up kept that service (or it is
// not the suite's), so its program is kept, not left to the restart, and its folder stays.
TEST_F(TreeRemovalInUseTest, TheProgramOfARegisteredServiceIsKept) {
  scratch_folder scratch;
  const std::wstring tree = scratch.path() + L"\\t";
  make_file(tree + L"\\a.txt");
  const std::wstring image = scratch.place(L"test_service", L"t\\bin", L"kept_service.exe");
  const replay::scoped_service_handle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ASSERT_TRUE(manager);
  const replay::scoped_service_handle service(CreateServiceW(
      manager.get(), L"Kept Test Service", L"Kept Test Service", SERVICE_ALL_ACCESS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
      (L"\"" + image + L"\" normal").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(service);
  ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr));
  ASSERT_TRUE(eventually([&] {
    SERVICE_STATUS status = {};
    return QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING;
  }));

  captured_log log;
  EXPECT_FALSE(remove_folder(replay::to_narrow(tree)));
  SERVICE_STATUS status = {};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  DeleteService(service.get());

  EXPECT_TRUE(pending_deletions().empty());
  EXPECT_TRUE(exists(image));
  EXPECT_TRUE(log.contains("'" + replay::to_narrow(image) +
                           "' is in use by a registered service: it is kept"));
  EXPECT_EQ("! Failed to remove folder '" + replay::to_narrow(tree) + "' !", log.texts().back());
  eventually([&] {
    return QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED;
  });
}

// Nothing in use: nothing is scheduled.
// A report-only run opens files only to read them, so it asks the processes: the program of a
// process that keeps running is planned as the real run would leave it (to the restart, with
// its folders), while once the run has planned to end that process its program is planned as
// deleted. Nothing is scheduled or removed on the machine either way.
TEST_F(TreeRemovalInUseTest, AReportOnlyRunJudgesARunningProgramByWhetherItsProcessIsEnded) {
  scratch_folder scratch;
  const std::wstring tree = scratch.path() + L"\\t";
  make_file(tree + L"\\a.txt");
  const std::wstring image = scratch.place(L"sleeper", L"t\\bin", L"sleeper.exe");
  const child_process sleeper(image, L"60000");
  ASSERT_TRUE(sleeper.started());
  const std::string narrow_tree = replay::to_narrow(tree);

  replay::planned_changes kept_running;
  {
    replay::changes_scope scope(kept_running);
    captured_log log;
    EXPECT_TRUE(remove_folder(narrow_tree));
  }
  replay::planned_changes ended;
  {
    replay::changes_scope scope(ended);
    replay::change end;
    end.kind = replay::change_kind::end_process;
    end.where = L"sleeper.exe";
    end.detail = L"process id " + std::to_wstring(sleeper.id());
    replay::changes().make(end, nullptr);
    captured_log log;
    EXPECT_TRUE(remove_folder(narrow_tree));
  }

  auto kind_of = [](const replay::planned_changes& plan, const std::wstring& path) {
    for (const replay::change& c : plan.planned()) {
      if (c.where == path) return std::string(replay::change_kind_text(c.kind));
    }
    return std::string("none");
  };
  EXPECT_EQ("schedule at restart", kind_of(kept_running, image));
  EXPECT_EQ("schedule at restart", kind_of(kept_running, tree + L"\\bin"));
  EXPECT_EQ("delete file", kind_of(kept_running, tree + L"\\a.txt"));
  EXPECT_EQ("delete file", kind_of(ended, image));
  EXPECT_EQ("remove folder", kind_of(ended, tree + L"\\bin"));
  EXPECT_EQ("remove folder", kind_of(ended, tree));
  EXPECT_TRUE(pending_deletions().empty());
  EXPECT_TRUE(exists(image));
  EXPECT_TRUE(exists(tree + L"\\a.txt"));
}

TEST_F(TreeRemovalInUseTest, NothingIsScheduledWhenEverythingGoes) {
  scratch_folder scratch;
  make_file(scratch.path() + L"\\t\\a.txt");
  captured_log log;
  EXPECT_TRUE(remove_folder(replay::to_narrow(scratch.path() + L"\\t")));
  EXPECT_TRUE(pending_deletions().empty());
}

}  // namespace
