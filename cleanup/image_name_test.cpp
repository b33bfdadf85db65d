#include "cleanup/image_name.h"

#include <gtest/gtest.h>

namespace {

struct name_case {
  const char* candidate;
  const char* name;
  bool matches;
};

TEST(ImageNameTest, MatchesWholeNameOrLastPathComponent) {
  const name_case cases[] = {
      {"cvus.exe", "cvus.exe", true},
      {"CVUS.EXE", "cvus.exe", true},
      {"cvus.exe", "CvUs.ExE", true},
      {"xcvus.exe", "cvus.exe", false},  // a longer name is another program
      {"x_cvus.exe", "cvus.exe", false},
      {"C:\\Program Files\\Corvane\\cvus.exe", "cvus.exe", true},
      {"C:/Program Files/Corvane/CVUS.exe", "cvus.exe", true},
      {"C:\\Corvane\\xcvus.exe", "cvus.exe", false},
      {"cvus.exe", "C:\\Corvane\\cvus.exe", false},  // shorter than the name searched
      {"vus.exe", "cvus.exe", false},
      {"cvus.exe.bak", "cvus.exe", false},
      {"cvus.exe", "", false},  // an empty name names nothing
      {"", "", false},
      {"\xc4vus.exe", "\xe4vus.exe", false},  // only A to Z are folded
  };
  for (const name_case& c : cases) {
    EXPECT_EQ(c.matches, image_name_matches(std::string(c.candidate), std::string(c.name)))
        << c.candidate << " / " << c.name;
  }
}

TEST(ImageNameTest, WideFormFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(image_name_matches(std::wstring(L"D:\\A\\CVUS.EXE"), std::wstring(L"cvus.exe")));
  EXPECT_FALSE(image_name_matches(std::wstring(L"\u00c4.exe"), std::wstring(L"\u00e4.exe")));
  EXPECT_FALSE(image_name_matches(std::wstring(L"a\\xcvus.exe"), std::wstring(L"cvus.exe")));
}

struct image_path_case {
  const wchar_t* image_path;
  bool matches;  // against cvus.exe
};

TEST(ImageNameTest, ServiceCommandLineMatchesByItsExecutable) {
  const image_path_case cases[] = {
      {L"C:\\Corvane\\cvus.exe", true},
      {L"\"C:\\Corvane\\cvus.exe\"", true},  // quoted, the last character is a quote
      {L"\"C:\\Program Files\\Corvane\\cvus.exe\" -service /x", true},
      {L"\"C:\\Program Files\\Corvane\\CVUS.EXE\"-service", true},
      {L"C:\\Corvane\\cvus.exe -service", true},
      {L"C:\\Program Files\\Corvane\\cvus.exe", true},
      {L"cvus.exe", true},
      {L"\"C:\\Corvane\\xcvus.exe\" -service", false},
      {L"C:\\Corvane\\xcvus.exe", false},
      {L"\"C:\\Corvane\\runner.exe\" C:\\Corvane\\cvus.exe", false},  // only an argument
      {L"C:\\Corvane\\runner.exe xcvus.exe", false},
      // Unquoted, the program ends at the first ".exe" followed by a blank or the end: what
      // follows it are arguments, whatever they name.
      {L"C:\\Program Files\\Lantern\\lhost.exe /watch C:\\Corvane\\cvus.exe", false},
      {L"C:\\Lantern\\lhost.exe C:\\Corvane\\cvus.exe", false},
      {L"C:\\Lantern\\LHOST.EXE C:\\Corvane\\cvus.exe", false},
      {L"C:\\My.exe Files\\cvus.exe", false},
      {L"C:\\Program Files\\Corvane\\cvus.exe /run C:\\x.exe", true},
      {L"C:\\Program Files\\Corvane\\CVUS.EXE", true},
      {L"C:\\Corvane\\cvus.exe.bak -x", false},  // ".exe." ends no program
      // Without such an ".exe", the program ends at the first blank.
      {L"C:\\Corvane\\runner -x C:\\Corvane\\cvus", false},
      {L"C:\\Corvane\\cvus", false},
      {L"\"C:\\Corvane\\cvus.exe", true},  // no closing quote: the rest is the path
      {L"", false},
  };
  for (const image_path_case& c : cases) {
    EXPECT_EQ(c.matches, image_path_matches(c.image_path, L"cvus.exe")) << c.image_path;
  }
}

TEST(ImageNameTest, ProgramOfCommandLine) {
  EXPECT_EQ(L"C:\\a b\\x.exe", image_path_program(L"\"C:\\a b\\x.exe\" -run"));
  EXPECT_EQ(L"C:\\Program Files\\x.EXE", image_path_program(L"C:\\Program Files\\x.EXE /y z.exe"));
  EXPECT_EQ(L"C:\\a\\x.exec", image_path_program(L"C:\\a\\x.exec -run"));
  EXPECT_EQ(L"C:\\a\\x", image_path_program(L"C:\\a\\x -run y.exe."));
  EXPECT_EQ(L"", image_path_program(L""));
}

TEST(ImageNameTest, ExecutableOfCommandLine) {
  EXPECT_EQ(L"C:\\a b\\x.exe", image_path_executable(L"\"C:\\a b\\x.exe\" -run"));
  EXPECT_EQ(L"C:\\a\\x.exe -run", image_path_executable(L"C:\\a\\x.exe -run"));
  EXPECT_EQ(L"", image_path_executable(L""));
}

}  // namespace
