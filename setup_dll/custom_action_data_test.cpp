#include "setup_dll/custom_action_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_dll/system_program.h"

namespace {

struct parameter_case {
  const wchar_t* text;
  const wchar_t* key;
  const wchar_t* expected;
};

class ParameterTest : public testing::TestWithParam<parameter_case> {};

TEST_P(ParameterTest, FindsTheValue) {
  const parameter_case& c = GetParam();
  EXPECT_EQ(parameter(c.text, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ParameterTest,
    testing::Values(
        parameter_case{L"DLL=C:\\a\\b.dll;HKCR_CHECK_SUBKEY=CLSID\\{X};", L"DLL", L"C:\\a\\b.dll"},
        parameter_case{L"DLL=C:\\a\\b.dll;HKCR_CHECK_SUBKEY=CLSID\\{X};", L"HKCR_CHECK_SUBKEY",
                       L"CLSID\\{X}"},
        // The last entry without its ";" is empty.
        parameter_case{L"DLL=C:\\a\\b.dll;HKCR_CHECK_SUBKEY=CLSID\\{X}", L"HKCR_CHECK_SUBKEY", L""},
        parameter_case{L"", L"DLL", L""}, parameter_case{L"FILES=a.dll;", L"DIR", L""},
        // A key ending another key's name matches inside that entry when it comes first.
        parameter_case{L"XDLL=x.dll;DLL=y.dll;", L"DLL", L"x.dll"},
        parameter_case{L"DLL=y.dll;XDLL=x.dll;", L"DLL", L"y.dll"},
        // Nothing is trimmed; an empty value is empty.
        parameter_case{L"DIR= C:\\P\\ ;", L"DIR", L" C:\\P\\ "},
        parameter_case{L"DIR=;FILES=a;", L"DIR", L""},
        // "=" inside a value is kept.
        parameter_case{L"DIR=a=b;", L"DIR", L"a=b"}));

struct split_case {
  const wchar_t* list;
  std::vector<std::wstring> expected;
};

class SplitListTest : public testing::TestWithParam<split_case> {};

TEST_P(SplitListTest, SkipsEmptyItems) {
  EXPECT_EQ(split_list(GetParam().list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Files, SplitListTest,
                         testing::Values(split_case{L"a.dll,,b.dll", {L"a.dll", L"b.dll"}},
                                         split_case{L",a.dll,", {L"a.dll"}}, split_case{L"", {}},
                                         split_case{L",,,", {}},
                                         split_case{L" a.dll , b", {L" a.dll ", L" b"}}));

TEST(ReadCustomActionDataTest, ABadHandleGivesEmptyText) {
  EXPECT_EQ(read_custom_action_data(0), L"");
  EXPECT_EQ(read_custom_action_data(0x7fff), L"");
}

TEST(SystemProgramTest, UsesTheSystemFolderOfThisBitness) {
  const std::wstring path = system_program(L"regsvr32.exe");
  std::wstring lower = path;
  for (wchar_t& c : lower) c = towlower(c);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  EXPECT_EQ(lower, wow64 ? L"c:\\windows\\syswow64\\regsvr32.exe"
                         : L"c:\\windows\\system32\\regsvr32.exe");
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
