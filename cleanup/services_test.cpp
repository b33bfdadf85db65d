// The service operations against Wine's real service manager and registry. Registers, starts
// and deletes services and ends processes: SERIAL.
#include "cleanup/services.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cleanup/processes.h"
#include "replay/change/planned_changes.h"
#include "testing/change_recorder.h"
#include "testing/child_process.h"
#include "testing/failing_changes.h"
#include "testing/log_capture.h"
#include "testing/test_services.h"

using namespace test_support;
namespace {

using lines = std::vector<std::string>;

// Bare Services keys in key-name order, so that a look-up that stopped at the first candidate
// ending with the name (xcvfind.exe), at one that names it only in an argument, or at an
// unreadable key would give the wrong answer.
class ServiceRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Another vendor's service that is handed our executable as an argument: it starts lhost.exe.
    m_services.add_key(L"CvTest_0_argument");
    set_key_string(L"CvTest_0_argument", L"ImagePath", REG_EXPAND_SZ,
                   L"C:\\Program Files\\Lantern\\lhost.exe /watch C:\\cv\\cvfind.exe");
    set_key_string(L"CvTest_0_argument", L"DisplayName", REG_SZ, L"Lantern Watch");
    m_services.add_key(L"CvTest_1_noimage");
    m_services.add_key(L"CvTest_2_dword");
    set_key_dword(L"CvTest_2_dword", L"ImagePath", 5);
    set_key_string(L"CvTest_2_dword", L"DisplayName", REG_SZ, L"Dword");
    m_services.add_key(L"CvTest_3_longer");
    set_key_string(L"CvTest_3_longer", L"ImagePath", REG_EXPAND_SZ, L"C:\\cv\\xcvfind.exe");
    set_key_string(L"CvTest_3_longer", L"DisplayName", REG_SZ, L"Longer");
    m_services.add_key(L"CvTest_4_nodisplay");
    set_key_string(L"CvTest_4_nodisplay", L"ImagePath", REG_SZ, L"C:\\cv\\cvfind.exe");
    m_services.add_key(L"CvTest_5_quoted");
    set_key_string(L"CvTest_5_quoted", L"ImagePath", REG_EXPAND_SZ,
                   L"\"C:\\Program Files\\cv\\CVFIND.EXE\" -service");
    set_key_string(L"CvTest_5_quoted", L"DisplayName", REG_SZ, L"Corvane Find Test");
    m_services.add_key(L"CvTest_5_quoted\\Parameters");
    set_key_string(L"CvTest_5_quoted\\Parameters", L"Setting", REG_SZ, L"x");
    m_services.add_key(L"CvTest_6_later");
    set_key_string(L"CvTest_6_later", L"ImagePath", REG_SZ, L"%SystemRoot%\\cv\\cvfind.exe");
    set_key_string(L"CvTest_6_later", L"DisplayName", REG_SZ, L"Later");
  }

  test_services m_services;
};

TEST_F(ServiceRegistryTest, FindSkipsUnreadableKeysAndLongerNames) {
  captured_log log;
  EXPECT_EQ("Corvane Find Test", find_service_by_image("cvfind.exe"));
  EXPECT_EQ((lines{"Search if cvfind.exe service is installed",
                   "Service found. Display Name: Corvane Find Test"}),
            log.texts());
}

TEST_F(ServiceRegistryTest, FindReportsWhenNothingMatches) {
  captured_log log;
  EXPECT_EQ("", find_service_by_image("vfind.exe"));
  EXPECT_EQ("", find_service_by_image(""));
  EXPECT_EQ((lines{"Search if vfind.exe service is installed", "Service not found",
                   "Search if  service is installed", "Service not found"}),
            log.texts());
}

TEST_F(ServiceRegistryTest, KillDeletesMatchingKeysOneAtATimeAndSparesLongerNames) {
  captured_log log;
  EXPECT_TRUE(kill_service_by_image("cvfind.exe"));
  EXPECT_FALSE(test_services::key_exists(L"CvTest_4_nodisplay"));
  EXPECT_TRUE(test_services::key_exists(L"CvTest_5_quoted"));
  EXPECT_TRUE(kill_service_by_image("cvfind.exe"));
  EXPECT_FALSE(test_services::key_exists(L"CvTest_5_quoted"));  // with its subkey
  EXPECT_TRUE(kill_service_by_image("cvfind.exe"));
  EXPECT_FALSE(kill_service_by_image("cvfind.exe"));
  EXPECT_EQ((lines{"Service CvTest_4_nodisplay is killed", "Service CvTest_5_quoted is killed",
                   "Service CvTest_6_later is killed"}),
            log.texts());
  for (const wchar_t* kept :
       {L"CvTest_0_argument", L"CvTest_1_noimage", L"CvTest_2_dword", L"CvTest_3_longer"}) {
    EXPECT_TRUE(test_services::key_exists(kept)) << kept;
  }
}

// A report-only run deletes no key: the keys it plans to delete are passed over by the next
// search, as the real run's deleted ones are.
TEST_F(ServiceRegistryTest, ReportOnlyKillPlansTheKeysOneAtATime) {
  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    captured_log log;
    EXPECT_TRUE(kill_service_by_image("cvfind.exe"));
    EXPECT_TRUE(kill_service_by_image("cvfind.exe"));
    EXPECT_TRUE(kill_service_by_image("cvfind.exe"));
    EXPECT_FALSE(kill_service_by_image("cvfind.exe"));
    EXPECT_EQ((lines{"Service CvTest_4_nodisplay would be killed",
                     "Service CvTest_5_quoted would be killed",
                     "Service CvTest_6_later would be killed"}),
              log.texts());
  }
  for (const wchar_t* kept : {L"CvTest_4_nodisplay", L"CvTest_5_quoted", L"CvTest_6_later"}) {
    EXPECT_TRUE(test_services::key_exists(kept)) << kept;
  }
}

class ServiceManagerTest : public ::testing::Test {
 protected:
  test_services m_services;
};

TEST_F(ServiceManagerTest, StopsARunningServiceAndDeletesIt) {
  ASSERT_TRUE(m_services.install_running("CvTestStop", "CvTestStop", "cvstop.exe", "normal"));
  captured_log log;
  EXPECT_TRUE(stop_and_delete_service("CvTestStop", true));
  EXPECT_EQ((lines{"Stop & Delete 'CvTestStop' Service", "Service stopped successfully.",
                   "Service deleted successfully"}),
            log.texts());
  EXPECT_TRUE(eventually([] { return !is_service_installed("CvTestStop"); }));
}

TEST_F(ServiceManagerTest, StoppedServiceIsKeptWithoutTheDeleteFlag) {
  ASSERT_TRUE(m_services.install("CvTestIdle", "CvTestIdle", "cvidle.exe", "normal"));
  captured_log log;
  EXPECT_TRUE(stop_and_delete_service("CvTestIdle", false));
  EXPECT_TRUE(is_service_installed("CvTestIdle"));
  EXPECT_TRUE(stop_and_delete_service("CvTestIdle", true));
  EXPECT_EQ((lines{"Stop & Delete 'CvTestIdle' Service", "Service is already stopped.",
                   "Stop & Delete 'CvTestIdle' Service", "Service is already stopped.",
                   "Service deleted successfully"}),
            log.texts());
}

// The stop control is answered with STOP_PENDING for about 2.5 s: the wait after the control
// polls until the service reports STOPPED.
TEST_F(ServiceManagerTest, WaitsForASlowStopItRequested) {
  ASSERT_TRUE(m_services.install_running("CvTestSlow", "CvTestSlow", "cvslow.exe", "slow"));
  captured_log log;
  EXPECT_TRUE(stop_and_delete_service("CvTestSlow", true));
  EXPECT_EQ((lines{"Stop & Delete 'CvTestSlow' Service", "Service stopped successfully.",
                   "Service deleted successfully"}),
            log.texts());
}

// Someone else asked the service to stop: the stop under way is waited for, with a line per poll.
TEST_F(ServiceManagerTest, WaitsForAStopAlreadyPending) {
  ASSERT_TRUE(m_services.install_running("CvTestPend", "CvTestPend", "cvpend.exe", "slow"));
  ASSERT_TRUE(test_services::request_stop("CvTestPend"));
  captured_log log;
  EXPECT_TRUE(stop_and_delete_service("CvTestPend", true));
  lines texts = log.texts();
  ASSERT_GE(texts.size(), 5u);
  EXPECT_EQ("Stop & Delete 'CvTestPend' Service", texts.front());
  const auto pending = std::count(texts.begin(), texts.end(), "Service stop pending...");
  EXPECT_GE(pending, 2);
  EXPECT_EQ(texts.size(), static_cast<size_t>(pending) + 3);
  EXPECT_EQ((lines{"Service stopped successfully.", "Service deleted successfully"}),
            lines(texts.end() - 2, texts.end()));
}

TEST_F(ServiceManagerTest, MissingServiceFailsWithTheManagersCode) {
  captured_log log;
  EXPECT_FALSE(is_service_installed("CvTestNoSuchService"));
  EXPECT_FALSE(stop_and_delete_service("CvTestNoSuchService", true));
  EXPECT_FALSE(stop_and_delete_service("", false));
  const lines texts = log.texts();
  ASSERT_EQ(4u, texts.size());
  EXPECT_EQ(
      (lines{"Stop & Delete 'CvTestNoSuchService' Service",
             "OpenService call failed, System Error Code = 1060", "Stop & Delete '' Service"}),
      lines(texts.begin(), texts.begin() + 3));
  EXPECT_EQ(0u, texts[3].find("OpenService call failed, System Error Code = ")) << texts[3];
}

TEST_F(ServiceManagerTest, RemoveStopsAndDeletesAnInstalledService) {
  ASSERT_TRUE(m_services.install_running("CvTestRmByName", "Corvane Rm", "cvrmname.exe", "slow"));
  captured_log log;
  remove_service("CvTestRmByName", "cvrmname.exe", true);
  EXPECT_EQ((lines{"Stop & Delete 'CvTestRmByName' Service", "Service stopped successfully.",
                   "Service deleted successfully"}),
            log.texts());
  EXPECT_TRUE(eventually([] { return !is_service_installed("CvTestRmByName"); }));
}

// No service has the name asked for, but one's ImagePath starts the executable and its display
// name is its key name: that service is stopped and deleted.
TEST_F(ServiceManagerTest, RemoveFindsTheServiceByItsExecutable) {
  ASSERT_TRUE(m_services.install_running("CvTestRmSame", "CvTestRmSame", "cvrmsame.exe", "normal"));
  captured_log log;
  remove_service("CvTestRmWrongName", "cvrmsame.exe", true);
  EXPECT_EQ((lines{
                "The specified service (CvTestRmWrongName) does not exist as an installed service.",
                "Search if cvrmsame.exe service is installed",
                "Service found. Display Name: CvTestRmSame",
                "Stop & Delete 'CvTestRmSame' Service",
                "Service stopped successfully.",
                "Service deleted successfully",
            }),
            log.texts());
  EXPECT_TRUE(eventually([] { return !is_service_installed("CvTestRmSame"); }));
}

// The display name found is not a service name, so the fallback runs: the process is ended and
// the registration's key deleted. The xcvrmdiff.exe service, listed first, is left alone.
TEST_F(ServiceManagerTest, RemoveFallsBackWhenTheDisplayNameIsNoServiceName) {
  ASSERT_TRUE(m_services.install_running("CvTestRmA", "CvTestRmA", "xcvrmdiff.exe", "normal"));
  ASSERT_TRUE(
      m_services.install_running("CvTestRmKey", "Corvane Rm Display", "cvrmdiff.exe", "normal"));
  captured_log log;
  remove_service("CvTestRmNone", "cvrmdiff.exe", true);
  EXPECT_EQ((lines{
                "The specified service (CvTestRmNone) does not exist as an installed service.",
                "Search if cvrmdiff.exe service is installed",
                "Service found. Display Name: Corvane Rm Display",
                "Dealing with 'cvrmdiff.exe' process ....",
                "Process with name 'cvrmdiff.exe' is running, let us close it",
                "Service CvTestRmKey is killed",
            }),
            log.texts());
  EXPECT_TRUE(eventually([] { return !is_process_running("cvrmdiff.exe"); }));
  EXPECT_FALSE(test_services::key_exists(L"CvTestRmKey"));
  EXPECT_TRUE(is_process_running("xcvrmdiff.exe"));
  EXPECT_TRUE(test_services::key_exists(L"CvTestRmA"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), test_services::state("CvTestRmA"));
}

TEST_F(ServiceManagerTest, RemoveOfSomethingThatIsNowhereOnlyLogs) {
  captured_log log;
  remove_service("CvTestNowhere", "cvnowhere.exe", true);
  EXPECT_EQ((lines{
                "The specified service (CvTestNowhere) does not exist as an installed service.",
                "Search if cvnowhere.exe service is installed",
                "Service not found",
                "Dealing with 'cvnowhere.exe' process ....",
                "Process with name 'cvnowhere.exe' is NOT running ...",
            }),
            log.texts());
}

// A report-only run stops and deletes nothing and waits for nothing: it plans the changes the
// real run then makes on the same service, and counts the service as gone once its deletion is
// planned.
struct planned_service_case {
  const char* name;
  const char* exe_name;
  const char* mode;
  bool start;
  bool stop_pending;  // someone else asked it to stop
  lines planned_log;
  std::vector<std::wstring> changes;
};

// The lines with the number of a stopped service's process (its detail) as "N".
std::vector<std::wstring> without_process_ids(std::vector<std::wstring> lines) {
  const std::wstring marker = L"process id ";
  for (std::wstring& line : lines) {
    const std::size_t at = line.find(marker);
    if (at != std::wstring::npos) line = line.substr(0, at + marker.size()) + L"N";
  }
  return lines;
}

TEST_F(ServiceManagerTest, ReportOnlyRunPlansWhatTheRealRunDoes) {
  const planned_service_case cases[] = {
      {"CvTestPlanRun",
       "cvplanrun.exe",
       "normal",
       true,
       false,
       {"Stop & Delete 'CvTestPlanRun' Service", "Service would be stopped.",
        "Service would be deleted"},
       {L"stop service\tCvTestPlanRun\tprocess id N", L"delete service\tCvTestPlanRun\t"}},
      {"CvTestPlanIdle",
       "cvplanidle.exe",
       "normal",
       false,
       false,
       {"Stop & Delete 'CvTestPlanIdle' Service", "Service is already stopped.",
        "Service would be deleted"},
       {L"delete service\tCvTestPlanIdle\t"}},
      {"CvTestPlanPend",
       "cvplanpend.exe",
       "slow",
       true,
       true,
       {"Stop & Delete 'CvTestPlanPend' Service", "Service stop pending...",
        "Service would be stopped.", "Service would be deleted"},
       {L"delete service\tCvTestPlanPend\t"}},
  };
  for (const planned_service_case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.start ? m_services.install_running(c.name, c.name, c.exe_name, c.mode)
                        : m_services.install(c.name, c.name, c.exe_name, c.mode));
    if (c.stop_pending) {
      ASSERT_TRUE(test_services::request_stop(c.name));
    }
    const DWORD state_before = test_services::state(c.name);
    replay::planned_changes planned;
    {
      replay::changes_scope scope(planned);
      captured_log log;
      remove_service(c.name, c.exe_name, true);
      EXPECT_EQ(c.planned_log, log.texts());
      EXPECT_FALSE(is_service_installed(c.name));
    }
    EXPECT_EQ(c.changes, without_process_ids(change_lines(planned.planned())));
    if (!c.stop_pending) {
      EXPECT_EQ(state_before, test_services::state(c.name));
    }
    EXPECT_TRUE(is_service_installed(c.name));

    change_recorder recorder;
    remove_service(c.name, c.exe_name, true);
    EXPECT_EQ(c.changes, without_process_ids(change_lines(recorder.changes())));
    EXPECT_TRUE(eventually([&] { return !is_service_installed(c.name); }));
  }
}

// A deletion the service manager refuses (injected: Wine's manager does not refuse one) is
// logged as before and the fallback ends the process and deletes the registration key.
TEST_F(ServiceManagerTest, RefusedDeletionFallsBackToTheRegistration) {
  ASSERT_TRUE(m_services.install("CvTestRefuse", "CvTestRefuse", "cvrefuse.exe", "normal"));
  captured_log log;
  {
    const test_support::failing_changes failing(1, ERROR_ACCESS_DENIED,
                                                replay::change_kind::delete_service);
    remove_service("CvTestRefuse", "cvrefuse.exe", true);
  }
  const lines texts = log.texts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ((lines{"Stop & Delete 'CvTestRefuse' Service", "Service is already stopped.",
                   "DeleteService failed, System Error Code = 5"}),
            lines(texts.begin(), texts.begin() + 3));
  EXPECT_NE(texts.end(),
            std::find(texts.begin(), texts.end(), std::string("Service CvTestRefuse is killed")));
}

}  // namespace
