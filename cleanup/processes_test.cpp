// Runs copies of a sleeper program under the names searched for and checks which of them the
// process clean-up ends. Ends other processes: SERIAL.
#include "cleanup/processes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "cleanup/privilege_scope.h"
#include "replay/change/planned_changes.h"
#include "replay/unicode/unicode.h"
#include "testing/change_recorder.h"
#include "testing/child_process.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"
#include "testing/scratch_folder.h"

using namespace test_support;
namespace {

constexpr DWORD kKilledExitCode = 255;

class ProcessesTest : public ::testing::Test {
 protected:
  // Starts a copy of the sleeper named `file_name` and waits until a snapshot shows it.
  child_process& start_sleeper(const std::wstring& subfolder, const std::wstring& file_name) {
    const std::wstring program = m_folder.place(L"sleeper", subfolder, file_name);
    m_children.push_back(std::make_unique<child_process>(program, L"120000"));
    child_process& child = *m_children.back();
    EXPECT_TRUE(child.started()) << replay::to_narrow(program);
    EXPECT_TRUE(eventually([&] { return is_process_running(replay::to_narrow(file_name)); }));
    return child;
  }

  scratch_folder m_folder;
  std::vector<std::unique_ptr<child_process>> m_children;
};

TEST_F(ProcessesTest, KillEndsExactNameInAnyCaseButNotLongerNames) {
  child_process& lower = start_sleeper(L"a", L"cvus.exe");
  child_process& upper = start_sleeper(L"b", L"CVUS.EXE");
  child_process& longer = start_sleeper(L"c", L"xcvus.exe");

  kill_processes_by_name("cvus.exe");

  ASSERT_TRUE(lower.wait(10000));
  ASSERT_TRUE(upper.wait(10000));
  EXPECT_EQ(kKilledExitCode, lower.exit_code());
  EXPECT_EQ(kKilledExitCode, upper.exit_code());
  EXPECT_FALSE(longer.wait(500)) << "xcvus.exe must survive a request for cvus.exe";
  EXPECT_TRUE(is_process_running("xcvus.exe"));
  EXPECT_FALSE(is_process_running("cvus.exe"));
}

TEST_F(ProcessesTest, RunningIsJudgedByTheWholeImageName) {
  start_sleeper(L"a", L"cvrun.exe");
  EXPECT_TRUE(is_process_running("cvrun.exe"));
  EXPECT_TRUE(is_process_running("CVRUN.EXE"));
  EXPECT_FALSE(is_process_running("run.exe"));
  EXPECT_FALSE(is_process_running("xcvrun.exe"));
  EXPECT_FALSE(is_process_running(""));
}

TEST_F(ProcessesTest, KillOfAnAbsentNameDoesNothing) {
  child_process& bystander = start_sleeper(L"a", L"cvstay.exe");
  kill_processes_by_name("cvabsent.exe");
  kill_processes_by_name("");
  EXPECT_FALSE(bystander.wait(300));
}

TEST_F(ProcessesTest, CloseProcessLogsAndEndsARunningProcess) {
  child_process& child = start_sleeper(L"a", L"cvclose.exe");
  captured_log log;
  close_process("cvclose.exe");
  EXPECT_TRUE(child.wait(10000));
  EXPECT_EQ((std::vector<std::string>{
                "Dealing with 'cvclose.exe' process ....",
                "Process with name 'cvclose.exe' is running, let us close it",
            }),
            log.texts());
}

TEST_F(ProcessesTest, CloseProcessLogsWhenNothingRuns) {
  captured_log log;
  close_process("cvnothing.exe");
  EXPECT_EQ((std::vector<std::string>{
                "Dealing with 'cvnothing.exe' process ....",
                "Process with name 'cvnothing.exe' is NOT running ...",
            }),
            log.texts());
}

// cvpar.exe starts a second cvpar.exe that kills everything named cvpar.exe: the killer spares
// itself and the process that started it, and ends an unrelated cvpar.exe.
TEST_F(ProcessesTest, ParentOfTheKillerIsNeverEnded) {
  child_process& unrelated = start_sleeper(L"a", L"cvpar.exe");
  const std::wstring parent_program = m_folder.place(L"process_killer", L"b", L"cvpar.exe");
  child_process parent(parent_program, L"spawn cvpar.exe");
  ASSERT_TRUE(parent.started());
  ASSERT_TRUE(parent.wait(30000));
  EXPECT_EQ(0u, parent.exit_code()) << "the parent (or the killer itself) was ended";
  ASSERT_TRUE(unrelated.wait(10000));
  EXPECT_EQ(kKilledExitCode, unrelated.exit_code());
}

// Windows 2000 shows at most 15 characters of an image name, so the search is cut to that
// length there. Wine pretends to be Windows 2000 for a program named in AppDefaults.
TEST_F(ProcessesTest, CloseProcessCutsLongNamesOnWindows2000) {
  const std::wstring probe = m_folder.place(L"process_killer", L"a", L"cvwin2k_probe.exe");
  const std::wstring log_path = m_folder.path() + L"\\close.log";
  const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\cvwin2k_probe.exe";
  ASSERT_TRUE(set_string(HKEY_CURRENT_USER, 0, kAppDefaults, L"Version", L"win2k"));
  {
    child_process child(probe, L"close RavelinSuiteService.exe \"" + log_path + L"\"");
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.wait(30000));
  }
  delete_tree(HKEY_CURRENT_USER, 0, kAppDefaults);

  FILE* file = _wfopen(log_path.c_str(), L"r");
  ASSERT_NE(nullptr, file);
  std::vector<std::string> lines;
  char buffer[512];
  while (std::fgets(buffer, sizeof(buffer), file)) {
    lines.emplace_back(buffer);
    lines.back().erase(lines.back().find_last_not_of("\r\n") + 1);
  }
  std::fclose(file);
  ASSERT_FALSE(lines.empty());
  if (lines[0] != "version 5.0") GTEST_SKIP() << "Wine did not report Windows 2000: " << lines[0];
  EXPECT_EQ((std::vector<std::string>{
                "version 5.0",
                "Dealing with 'RavelinSuiteService.exe' process ....",
                "Process with name 'RavelinSuiteSer' is NOT running ...",
            }),
            lines);
}

std::wstring end_line(const wchar_t* image_name, const child_process& child) {
  return std::wstring(L"end process\t") + image_name + L"\tprocess id " +
         std::to_wstring(child.id());
}

// A report-only run ends nothing, plans what the real run then ends (in ascending process id
// order), and no longer finds a process once its end is planned; a bystander is in neither list.
TEST_F(ProcessesTest, ReportOnlyRunPlansWhatTheRealRunEnds) {
  child_process& first = start_sleeper(L"a", L"cvplan.exe");
  child_process& second = start_sleeper(L"b", L"CVPLAN.EXE");
  child_process& bystander = start_sleeper(L"c", L"xcvplan.exe");
  const bool in_order = first.id() < second.id();
  const std::vector<std::wstring> expected = {
      end_line(in_order ? L"cvplan.exe" : L"CVPLAN.EXE", in_order ? first : second),
      end_line(in_order ? L"CVPLAN.EXE" : L"cvplan.exe", in_order ? second : first)};

  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    ASSERT_TRUE(is_process_running("cvplan.exe"));
    close_process("cvplan.exe");
    EXPECT_FALSE(is_process_running("cvplan.exe"));
    EXPECT_TRUE(is_process_running("xcvplan.exe"));
  }
  EXPECT_FALSE(first.wait(300));
  EXPECT_FALSE(second.wait(0));
  EXPECT_EQ(expected, change_lines(planned.planned()));

  change_recorder recorder;
  close_process("cvplan.exe");
  ASSERT_TRUE(first.wait(10000));
  ASSERT_TRUE(second.wait(10000));
  EXPECT_EQ(kKilledExitCode, first.exit_code());
  EXPECT_FALSE(bystander.wait(0));
  EXPECT_EQ(expected, change_lines(recorder.changes()));
}

TEST(PrivilegeScopeTest, OpensATokenAndRestoresTheDebugPrivilege) {
  auto debug_enabled = [] {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    replay::scoped_token owner(token);
    LUID debug = {};
    LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &debug);
    BYTE buffer[4096] = {};
    DWORD size = 0;
    GetTokenInformation(owner.get(), TokenPrivileges, buffer, sizeof(buffer), &size);
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
      if (entry.Luid.LowPart == debug.LowPart && entry.Luid.HighPart == debug.HighPart) {
        return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
      }
    }
    return false;
  };
  const bool before = debug_enabled();
  {
    privilege_scope scope;
    EXPECT_TRUE(scope.has_token());
    EXPECT_TRUE(debug_enabled());
  }
  EXPECT_EQ(before, debug_enabled());
}

}  // namespace
