#include "remover/options.h"

#include <gtest/gtest.h>

namespace {

struct options_case {
  const char* line;
  run_mode mode;
  backup_request::mode backup;
  const char* folder;
  const char* brand;  // nullptr: the line names no names, and the defaults stay
};

using backup = backup_request::mode;

// The words may come in either order; what follows them is the names, read as they always were.
TEST(Options, ChooseTheModeAndKeepTheNamesAfterTheWords) {
  const options_case cases[] = {
      {"", run_mode::real_run, backup::none, "", nullptr},
      {"Acme Suite Svc.exe", run_mode::real_run, backup::none, "", "Acme"},
      {"/backup Acme Suite Svc.exe", run_mode::real_run, backup::backup, "", "Acme"},
      {"/backup:C:\\B", run_mode::real_run, backup::backup, "C:\\B", nullptr},
      {"/report", run_mode::report_only, backup::none, "", nullptr},
      {"/report Acme Suite Svc.exe", run_mode::report_only, backup::none, "", "Acme"},
      {"/report /backup:C:\\B Acme", run_mode::report_only, backup::backup, "C:\\B", "Acme"},
      {"/backup:C:\\B /report Acme", run_mode::report_only, backup::backup, "C:\\B", "Acme"},
      {"/restore:C:\\B 1", run_mode::restore, backup::restore, "C:\\B 1", nullptr},
      {"/restore:C:\\B /report", run_mode::restore, backup::restore, "C:\\B /report", nullptr},
      {"/report /restore:C:\\B", run_mode::refused_restore, backup::restore, "C:\\B", nullptr},
      // A word that is none of these is a brand, as it always was.
      {"/backupX Suite", run_mode::real_run, backup::none, "", "/backupX"},
      {"/report:x Suite", run_mode::real_run, backup::none, "", "/report:x"},
      {"Acme /report", run_mode::real_run, backup::none, "", "Acme"},
  };
  for (const options_case& c : cases) {
    SCOPED_TRACE(c.line);
    const purgeline_options options = read_options(c.line);
    EXPECT_EQ(c.mode, options.mode);
    EXPECT_EQ(c.backup, options.backup.what);
    EXPECT_EQ(c.folder, options.backup.folder);
    EXPECT_EQ(c.brand != nullptr, options.names_given);
    EXPECT_EQ(c.brand ? c.brand : run_settings().brand_name, options.names.brand_name);
  }
}

TEST(Options, MarkTheRunReportOnlyWhenTheLineSaysReport) {
  EXPECT_FALSE(marked_report_only(run_mode::real_run));
  EXPECT_FALSE(marked_report_only(run_mode::restore));
  EXPECT_TRUE(marked_report_only(run_mode::report_only));
  EXPECT_TRUE(marked_report_only(run_mode::refused_restore));
}

}  // namespace
