#include "remover/removed_folders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RemovedFolders, FindsTheRemovedFolderThatHoldsAPathHoweverItIsWritten) {
  removed_folders removed;
  removed.add("C:\\Program Files\\Ravelins\\Corvane\\");
  removed.add("C:\\ProgramData\\Corvane");
  removed.add_in_every_profile("C:\\Users", "AppData\\Local\\VirtualStore\\ProgramData\\Ravelins");
  const struct {
    const char* folder;
    const char* holder;
  } cases[] = {
      {"C:\\Program Files\\Ravelins\\Corvane", "C:\\Program Files\\Ravelins\\Corvane"},
      {"c:\\program files\\RAVELINS\\corvane\\backup\\", "C:\\Program Files\\Ravelins\\Corvane"},
      {"C:/ProgramData/Corvane/a/b", "C:\\ProgramData\\Corvane"},
      {"C:\\ProgramData\\Other\\..\\Corvane\\.\\b", "C:\\ProgramData\\Corvane"},
      {"C:\\Users\\ann\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins\\b",
       "C:\\Users\\ann\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins"},
      // Beside the removed folders, or above them: kept, so usable.
      {"C:\\ProgramData\\CorvaneBackups", ""},
      {"C:\\ProgramData", ""},
      {"C:\\Program Files\\Ravelins", ""},
      {"C:\\Users\\ann\\AppData\\Local\\VirtualStore\\ProgramData", ""},
      {"C:\\Users\\AppData\\Local\\VirtualStore\\ProgramData\\Ravelins", ""},
      {"C:\\purgeline-backup", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.holder, removed.holder_of(c.folder)) << c.folder;
  }
}

}  // namespace
