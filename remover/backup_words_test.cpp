#include "remover/backup_words.h"

#include <gtest/gtest.h>

namespace {

struct word_case {
  const char* line;
  backup_request::mode what;
  const char* folder;
  const char* rest;  // what the brand, suite and service names are read from
};

using mode = backup_request::mode;

TEST(BackupWords, TakesTheLeadingWordAndLeavesTheNamesToTheGrammar) {
  const word_case cases[] = {
      {"", mode::none, "", ""},
      {"Acme Suite Svc.exe", mode::none, "", "Acme Suite Svc.exe"},
      {"/backup", mode::backup, "", ""},
      {"/backup Acme Suite Svc.exe", mode::backup, "", "Acme Suite Svc.exe"},
      {"/backup:C:\\B Acme Suite Svc.exe", mode::backup, "C:\\B", "Acme Suite Svc.exe"},
      {"/backup:\"C:\\My backups\\run 1\" Acme", mode::backup, "C:\\My backups\\run 1", "Acme"},
      {"/backup:\"C:\\unclosed", mode::backup, "\"C:\\unclosed", ""},
      {"/backup:", mode::backup, "", ""},
      {"/restore:C:\\ProgramData\\Purgeline backups\\2024-05-17 093012", mode::restore,
       "C:\\ProgramData\\Purgeline backups\\2024-05-17 093012", ""},
      {"/restore:\"C:\\B 1\"", mode::restore, "C:\\B 1", ""},
      // Other words are names, as they always were.
      {"/backupAcme Suite", mode::none, "", "/backupAcme Suite"},
      {"/restore C:\\B", mode::none, "", "/restore C:\\B"},
      {"Acme /backup", mode::none, "", "Acme /backup"},
  };
  for (const word_case& c : cases) {
    SCOPED_TRACE(c.line);
    backup_request request;
    EXPECT_EQ(c.rest, take_backup_word(c.line, request));
    EXPECT_EQ(c.what, request.what);
    EXPECT_EQ(c.folder, request.folder);
  }
}

}  // namespace
