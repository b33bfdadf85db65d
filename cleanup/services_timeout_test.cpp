// A service that never stops: the stop times out after 30 s and remove_service falls back to
// ending the process and deleting the registration. Runs longer than 30 s; SERIAL.
#include <gtest/gtest.h>

#include "cleanup/processes.h"
#include "cleanup/services.h"
#include "testing/child_process.h"
#include "testing/log_capture.h"
#include "testing/test_services.h"

using namespace test_support;
namespace {

TEST(ServiceTimeoutTest, RemoveEndsAndUnregistersAServiceThatNeverStops) {
  test_services services;
  ASSERT_TRUE(services.install_running("CvTestNever", "CvTestNever", "cvnever.exe", "never"));
  captured_log log;
  remove_service("CvTestNever", "cvnever.exe", true);
  EXPECT_EQ((std::vector<std::string>{
                "Stop & Delete 'CvTestNever' Service",
                "Wait timed out",
                "Dealing with 'cvnever.exe' process ....",
                "Process with name 'cvnever.exe' is running, let us close it",
                "Service CvTestNever is killed",
            }),
            log.texts());
  EXPECT_TRUE(eventually([] { return !is_process_running("cvnever.exe"); }));
  EXPECT_FALSE(test_services::key_exists(L"CvTestNever"));
}

}  // namespace
