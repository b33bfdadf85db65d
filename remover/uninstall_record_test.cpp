#include "remover/uninstall_record.h"

#include <gtest/gtest.h>

#include "replay/registry2/errors.h"
#include "testing/log_capture.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"

namespace {

using namespace test_support;

using lines = std::vector<std::string>;

const char kFoundPrefix[] =
    ". Product information is found in the key "
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kGuid[] = L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}";
const char kGuidNarrow[] = "{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}";

struct version_case {
  const char* text;
  int expected;
};

class ParseVersionTest : public testing::TestWithParam<version_case> {};

TEST_P(ParseVersionTest, GivesTheNumberOrMinusOne) {
  EXPECT_EQ(GetParam().expected, parse_version(GetParam().text)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseVersionTest,
    testing::Values(version_case{"1.2.3", 12003}, version_case{"1.2.34", 12034},
                    version_case{"1.2.345", 12345}, version_case{"9.9.99", 99099},
                    version_case{"0.0.0", 0}, version_case{"10.2.3", -1}, version_case{"1.2", -1},
                    version_case{"1.2.3.4", -1}, version_case{"", -1}, version_case{"1.2.", -1},
                    version_case{"1,2.3", -1}, version_case{"1.2-3", -1},
                    version_case{"1.2.3456", -1}, version_case{"1.a.3", -1},
                    version_case{"1.2.-3", -1}, version_case{"1.2.3 ", -1}));

// Seeds Uninstall entries of the machine and removes them after the test.
class UninstallRecordTest : public testing::Test {
 protected:
  void TearDown() override {
    for (const std::wstring& entry : entries_) delete_tree(HKEY_LOCAL_MACHINE, 0, uninstall(entry));
  }
  void entry(const std::wstring& name, const wchar_t* display, const wchar_t* version,
             const wchar_t* location) {
    entries_.push_back(name);
    create_key(HKEY_LOCAL_MACHINE, 0, uninstall(name));
    if (display) set_string(HKEY_LOCAL_MACHINE, 0, uninstall(name), L"DisplayName", display);
    if (version) set_string(HKEY_LOCAL_MACHINE, 0, uninstall(name), L"DisplayVersion", version);
    if (location) set_string(HKEY_LOCAL_MACHINE, 0, uninstall(name), L"InstallLocation", location);
  }
  std::vector<std::wstring> entries_;
};

TEST_F(UninstallRecordTest, FirstEntryWithBothValuesCompletesTheRecord) {
  entry(L"Corvane", L"Corvane", L"1.2.34", L"C:\\Program Files\\Ravelins\\Corvane\\");
  entry(kGuid, L"CORVANE", L"9.9.9", L"C:\\Elsewhere\\");
  entry(L"CvTestNumbered", L"Corvane 2", L"1.0.0", L"C:\\No\\");
  entry(L"CvTestNoName", nullptr, L"1.0.0", L"C:\\No\\");
  product_uninstall_record record("Corvane");
  captured_log log;
  search_product_info(record);
  EXPECT_EQ((lines{"**** Search Corvane info ****", "", kFoundPrefix + std::string("Corvane"),
                   kFoundPrefix + std::string(kGuidNarrow), ". Product version: '1.2.34'",
                   ". Installation directory: 'C:\\Program Files\\Ravelins\\Corvane\\'"}),
            log.texts());
  EXPECT_EQ("1.2.34", record.version);
  EXPECT_EQ(12034, record.version_number);
  EXPECT_EQ("C:\\Program Files\\Ravelins\\Corvane\\", record.install_location);
  EXPECT_EQ((std::vector<std::wstring>{L"Corvane", kGuid}), record.uninstall_keys);
}

TEST_F(UninstallRecordTest, EntryWithoutVersionLeavesTheSearchToTheNext) {
  entry(L"Corvane", L"Corvane", nullptr, L"C:\\First\\");
  entry(kGuid, L"corvane", L"1.2.3.4", L"C:\\Second\\");
  product_uninstall_record record("Corvane");
  captured_log log;
  search_product_info(record);
  EXPECT_EQ((lines{"**** Search Corvane info ****", "", kFoundPrefix + std::string("Corvane"),
                   kFoundPrefix + std::string(kGuidNarrow),
                   "ATTENTION: could not find DisplayVersion in 'Corvane' !",
                   ". Installation directory: 'C:\\First\\'", ". Product version: '1.2.3.4'",
                   "The version '1.2.3.4' has strange format, expected 9.9.99 or 9.9.9",
                   ". Installation directory: 'C:\\Second\\'"}),
            log.texts());
  EXPECT_EQ("1.2.3.4", record.version);
  EXPECT_EQ(0, record.version_number);
  EXPECT_EQ("C:\\Second\\", record.install_location);
}

TEST_F(UninstallRecordTest, LocationAndVersionMayComeFromDifferentEntries) {
  entry(L"Corvane", L"Corvane", L"1.2.3", nullptr);
  entry(kGuid, L"Corvane", nullptr, nullptr);
  product_uninstall_record record("Corvane");
  captured_log log;
  search_product_info(record);
  const lines texts = log.texts();
  ASSERT_EQ(8u, texts.size());
  EXPECT_EQ("ATTENTION: could not find InstallLocation in 'Corvane' !", texts[5]);
  EXPECT_EQ("ATTENTION: could not find DisplayVersion in '" + std::string(kGuidNarrow) + "' !",
            texts[6]);
  EXPECT_EQ("1.2.3", record.version);
  EXPECT_EQ(12003, record.version_number);
  EXPECT_EQ("", record.install_location);
}

TEST_F(UninstallRecordTest, NoMatchingEntryLogsOnlyTheAttention) {
  entry(L"CvTestWrongType", nullptr, nullptr, nullptr);
  set_dword(HKEY_LOCAL_MACHINE, 0, uninstall(L"CvTestWrongType"), L"DisplayName", 1);
  entry(L"CvTestLong", (std::wstring(300, L'x')).c_str(), nullptr, nullptr);
  product_uninstall_record record("Corvane");
  captured_log log;
  search_product_info(record);
  EXPECT_EQ((lines{"**** Search Corvane info ****", "",
                   "ATTENTION: could not find keys about 'Corvane' in "
                   "'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall' !"}),
            log.texts());
  EXPECT_EQ("", record.install_location);
  EXPECT_EQ("", record.version);
  EXPECT_EQ(-1, record.version_number);
  EXPECT_TRUE(record.uninstall_keys.empty());
}

TEST_F(UninstallRecordTest, DisplayNameWithoutAnsiFormIsSkipped) {
  entry(L"CvTestCyrillic", L"\x041a\x043e\x0440\x0432\x0430\x043d", L"1.0.0", L"C:\\No\\");
  product_uninstall_record record("Corvane");
  captured_log log;
  search_product_info(record);
  EXPECT_TRUE(record.uninstall_keys.empty());
  EXPECT_EQ(3u, log.texts().size());
}

TEST_F(UninstallRecordTest, ReadDisplayName) {
  entry(L"Corvane", L"Corvane Suite", nullptr, nullptr);
  EXPECT_EQ(L"Corvane Suite", read_display_name("Corvane"));
  EXPECT_THROW(read_display_name("CvTestMissing"), replay::registry2::key_error);
  entry(L"CvTestNoName", nullptr, nullptr, nullptr);
  EXPECT_THROW(read_display_name("CvTestNoName"), replay::registry2::value_error);
}

}  // namespace
