#include "config/archive_text.h"

#include <gtest/gtest.h>

#include <string>

namespace config {
namespace {

products_impl two_products() {
  products_impl record;
  record.m_products.push_back({L"CVPRO", L"Corvane Pro", L"C:\\Program Files\\Ravelins\\CV"});
  record.m_products.push_back({L"QLPRO", L"Q&L <Tools>", L""});
  return record;
}

// What the suite's programs write for two_products(): archive version 8, tab indentation,
// attributes only on the first element of each class, text ending in two line feeds.
constexpr char kTwoProductsText[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
    "<!DOCTYPE boost_serialization>\n"
    "<boost_serialization signature=\"serialization::archive\" version=\"8\">\n"
    "<products class_id=\"0\" tracking_level=\"0\" version=\"0\">\n"
    "\t<m_products class_id=\"1\" tracking_level=\"0\" version=\"0\">\n"
    "\t\t<count>2</count>\n"
    "\t\t<item_version>0</item_version>\n"
    "\t\t<item class_id=\"2\" tracking_level=\"0\" version=\"0\">\n"
    "\t\t\t<m_product_id>CVPRO</m_product_id>\n"
    "\t\t\t<m_product_name>Corvane Pro</m_product_name>\n"
    "\t\t\t<m_product_path>C:\\Program Files\\Ravelins\\CV</m_product_path>\n"
    "\t\t</item>\n"
    "\t\t<item>\n"
    "\t\t\t<m_product_id>QLPRO</m_product_id>\n"
    "\t\t\t<m_product_name>Q&amp;L &lt;Tools&gt;</m_product_name>\n"
    "\t\t\t<m_product_path></m_product_path>\n"
    "\t\t</item>\n"
    "\t</m_products>\n"
    "</products>\n"
    "</boost_serialization>\n"
    "\n";

bool same_products(const products_impl& a, const products_impl& b) {
  if (a.m_products.size() != b.m_products.size()) return false;
  for (std::size_t i = 0; i < a.m_products.size(); ++i) {
    const auto& x = a.m_products[i];
    const auto& y = b.m_products[i];
    if (x.m_product_id != y.m_product_id || x.m_product_name != y.m_product_name ||
        x.m_product_path != y.m_product_path) {
      return false;
    }
  }
  return true;
}

TEST(ProductsArchiveText, IsByteExact) {
  EXPECT_EQ(kTwoProductsText, to_archive_text(two_products()));
}

TEST(ProductsArchiveText, ReadsBackUnderAnyRootName) {
  products_impl read;
  from_archive_text(kTwoProductsText, read);
  EXPECT_TRUE(same_products(two_products(), read));
}

TEST(ProductsArchiveText, EmptyListHasCountZeroAndNoItem) {
  const std::string text = to_archive_text(products_impl());
  EXPECT_NE(std::string::npos,
            text.find("\t\t<count>0</count>\n\t\t<item_version>0</item_version>\n"
                      "\t</m_products>\n"));
  EXPECT_EQ(std::string::npos, text.find("<item>"));
  products_impl read = two_products();
  from_archive_text(text, read);
  EXPECT_TRUE(read.m_products.empty());
}

// The process keeps the "C" locale: a character up to U+00FF is one byte of the same value.
TEST(ProductsArchiveText, LatinOneCharactersAreSingleBytes) {
  products_impl record;
  record.m_products.push_back({L"CVPRO", L"Caf\u00e9 \u00c4rger", L"\u00ff"});
  const std::string text = to_archive_text(record);
  EXPECT_NE(std::string::npos, text.find("<m_product_name>Caf\xe9 \xc4rger</m_product_name>"));
  products_impl read;
  from_archive_text(text, read);
  EXPECT_TRUE(same_products(record, read));
}

TEST(ProductsArchiveText, UnconvertibleCharacterFailsToWrite) {
  products_impl record;
  record.m_products.push_back({L"CVPRO", L"Price \u20ac", L""});
  EXPECT_ANY_THROW(to_archive_text(record));
}

// Newer archive library versions in the header read as well as 8 does.
TEST(ProductsArchiveText, ReadsNewerArchiveVersions) {
  std::string text = kTwoProductsText;
  const std::string version8 = "version=\"8\">";
  text.replace(text.find(version8), version8.size(), "version=\"18\">");
  products_impl read;
  from_archive_text(text, read);
  EXPECT_TRUE(same_products(two_products(), read));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

struct bad_text_case {
  const char* name;
  std::string text;
};

TEST(ProductsArchiveText, MalformedTextsThrow) {
  const std::string good = kTwoProductsText;
  const std::string id = "\t\t\t<m_product_id>CVPRO</m_product_id>\n";
  const std::string name = "\t\t\t<m_product_name>Corvane Pro</m_product_name>\n";
  const bad_text_case cases[] = {
      {"empty", ""},
      {"plain xml", "<?xml version=\"1.0\"?>\n<products/>\n"},
      {"swapped elements", replaced(good, id + name, name + id)},
      {"missing element", replaced(good, name, "")},
      {"misnamed element", replaced(good, "<m_product_name>Corvane Pro</m_product_name>",
                                    "<m_name>Corvane Pro</m_name>")},
      {"count not a number", replaced(good, "<count>2</count>", "<count>two</count>")},
      {"count too large", replaced(good, "<count>2</count>", "<count>3</count>")},
      {"unknown entity", replaced(good, "Q&amp;L", "Q&bogus;L")},
      {"data after the archive", good + "<extra/>\n"},
  };
  for (const bad_text_case& c : cases) {
    products_impl read;
    EXPECT_ANY_THROW(from_archive_text(c.text, read)) << c.name;
  }
}

// A file cut off anywhere must fail cleanly; the library checks its closing tag in a destructor,
// so a cut near the end would otherwise end the process.
TEST(ProductsArchiveText, EveryTruncationThrows) {
  const std::string good = kTwoProductsText;
  const std::size_t complete = good.rfind('>') + 1;
  for (std::size_t length = 0; length < complete; ++length) {
    products_impl read;
    EXPECT_ANY_THROW(from_archive_text(good.substr(0, length), read)) << length;
  }
  products_impl read;
  from_archive_text(good.substr(0, complete), read);  // the trailing line feeds are optional
  EXPECT_EQ(2u, read.m_products.size());
}

// suite.cfg as the suite writes it at class version 4, with one update source.
std::string suite_text(int version) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
      "<!DOCTYPE boost_serialization>\n"
      "<boost_serialization signature=\"serialization::archive\" version=\"8\">\n"
      "<suite class_id=\"0\" tracking_level=\"0\" version=\"" +
      std::to_string(version) +
      "\">\n"
      "\t<m_user_name>jane.doe</m_user_name>\n"
      "\t<m_user_site>example.org</m_user_site>\n"
      "\t<m_reserved_list_1 class_id=\"1\" tracking_level=\"0\" version=\"0\">\n"
      "\t\t<count>2</count>\n"
      "\t\t<item_version>0</item_version>\n"
      "\t\t<item>first</item>\n"
      "\t\t<item>second</item>\n"
      "\t</m_reserved_list_1>\n"
      "\t<m_reserved_list_2>\n"
      "\t\t<count>0</count>\n"
      "\t\t<item_version>0</item_version>\n"
      "\t</m_reserved_list_2>\n"
      "\t<m_login_success>1</m_login_success>\n"
      "\t<m_machine_id>M-1</m_machine_id>\n"
      "\t<m_user_id>U-7</m_user_id>\n"
      "\t<m_reserved_text_1>t1</m_reserved_text_1>\n"
      "\t<m_reserved_value_1>-1</m_reserved_value_1>\n"
      "\t<m_reserved_value_2>2</m_reserved_value_2>\n"
      "\t<m_reserved_value_3>3</m_reserved_value_3>\n"
      "\t<m_reserved_value_4>2147483647</m_reserved_value_4>\n"
      "\t<m_last_synchronize_time>1700000000123</m_last_synchronize_time>\n"
      "\t<m_reserved_text_2>t2</m_reserved_text_2>\n"
      "\t<m_msg_system_data>msg</m_msg_system_data>\n"
      "\t<m_last_used_language>en</m_last_used_language>\n"
      "\t<m_product_id>CVPRO</m_product_id>\n"
      "\t<m_partner_id>P</m_partner_id>\n"
      "\t<m_version>3.1.4</m_version>\n";
  if (version >= 1) text += "\t<m_suite_name>Corvane Suite</m_suite_name>\n";
  text +=
      "\t<m_suite_launcher_path>C:\\L.exe</m_suite_launcher_path>\n"
      "\t<m_suite_msgsys_path>C:\\M</m_suite_msgsys_path>\n"
      "\t<m_community_url>http://c/</m_community_url>\n"
      "\t<m_service_name>Suite Service</m_service_name>\n"
      "\t<m_service_end_point>svc</m_service_end_point>\n"
      "\t<m_update_end_point>upd</m_update_end_point>\n"
      "\t<m_update_url>http://u/</m_update_url>\n"
      "\t<m_update_paths class_id=\"2\" tracking_level=\"0\" version=\"0\">\n"
      "\t\t<count>1</count>\n"
      "\t\t<item_version>0</item_version>\n"
      "\t\t<item class_id=\"3\" tracking_level=\"0\" version=\"0\">\n"
      "\t\t\t<m_name>main</m_name>\n"
      "\t\t\t<m_code>MAIN</m_code>\n"
      "\t\t\t<m_local>C:\\U</m_local>\n"
      "\t\t\t<m_update_mode>1</m_update_mode>\n"
      "\t\t\t<m_update_type>-2</m_update_type>\n"
      "\t\t</item>\n"
      "\t</m_update_paths>\n"
      "\t<m_proxy class_id=\"4\" tracking_level=\"0\" version=\"0\">\n"
      "\t\t<m_proxy_enabled>1</m_proxy_enabled>\n"
      "\t\t<m_proxy_server>proxy.local</m_proxy_server>\n"
      "\t\t<m_proxy_port>8080</m_proxy_port>\n"
      "\t</m_proxy>\n";
  if (version >= 2) text += "\t<m_parameters>a=&quot;1&quot;</m_parameters>\n";
  if (version >= 3) text += "\t<m_login_parameters>l=2</m_login_parameters>\n";
  if (version >= 4) text += "\t<m_used_flag>1</m_used_flag>\n";
  text += "</suite>\n</boost_serialization>\n\n";
  return text;
}

TEST(SuiteArchiveText, VersionFourIsWhatWeWrite) {
  suite_impl record;
  from_archive_text(suite_text(4), record);
  EXPECT_EQ(suite_text(4), to_archive_text(record));
}

TEST(SuiteArchiveText, VersionFourReadsEveryElement) {
  suite_impl record;
  from_archive_text(suite_text(4), record);
  EXPECT_EQ(L"jane.doe", record.m_user_name);
  EXPECT_EQ(L"example.org", record.m_user_site);
  ASSERT_EQ(2u, record.m_reserved_list_1.size());
  EXPECT_EQ(L"second", record.m_reserved_list_1[1]);
  EXPECT_EQ(-1, record.m_reserved_value_1);
  EXPECT_EQ(2147483647, record.m_reserved_value_4);
  EXPECT_EQ(1700000000123LL, record.m_last_synchronize_time);
  EXPECT_EQ(L"Corvane Suite", record.m_suite_name);
  ASSERT_EQ(1u, record.m_update_paths.size());
  EXPECT_EQ(L"MAIN", record.m_update_paths[0].m_code);
  EXPECT_EQ(-2, record.m_update_paths[0].m_update_type);
  EXPECT_TRUE(record.m_proxy.m_proxy_enabled);
  EXPECT_EQ(8080, record.m_proxy.m_proxy_port);
  EXPECT_EQ("a=\"1\"", record.m_parameters);
  EXPECT_EQ("l=2", record.m_login_parameters);
  EXPECT_TRUE(record.m_used_flag);
}

TEST(SuiteArchiveText, VersionThreeLacksOnlyTheUsedFlag) {
  suite_impl record;
  from_archive_text(suite_text(3), record);
  EXPECT_EQ(L"Corvane Suite", record.m_suite_name);
  EXPECT_EQ("a=\"1\"", record.m_parameters);
  EXPECT_EQ("l=2", record.m_login_parameters);
  EXPECT_FALSE(record.m_used_flag);
  EXPECT_EQ(L"proxy.local", record.m_proxy.m_proxy_server);
}

TEST(SuiteArchiveText, VersionZeroGetsTheDefaultSuiteName) {
  suite_impl record;
  from_archive_text(suite_text(0), record);
  EXPECT_EQ(L"jane.doe", record.m_user_name);
  EXPECT_EQ(L"Suite", record.m_suite_name);
  EXPECT_EQ(L"C:\\L.exe", record.m_suite_launcher_path);
  EXPECT_TRUE(record.m_parameters.empty());
  EXPECT_TRUE(record.m_login_parameters.empty());
  EXPECT_FALSE(record.m_used_flag);
}

TEST(SuiteArchiveText, NewRecordDefaults) {
  const suite_impl record;
  EXPECT_FALSE(record.m_used_flag);
  EXPECT_TRUE(record.m_parameters.empty());
  EXPECT_FALSE(record.m_proxy.m_proxy_enabled);
  EXPECT_TRUE(record.m_proxy.m_proxy_server.empty());
  EXPECT_EQ(0, record.m_proxy.m_proxy_port);
}

TEST(SuiteArchiveText, BadNumbersThrow) {
  const bad_text_case cases[] = {
      {"port out of range", replaced(suite_text(4), "<m_proxy_port>8080", "<m_proxy_port>70000")},
      {"integer overflow",
       replaced(suite_text(4), "<m_reserved_value_4>2147483647", "<m_reserved_value_4>2147483648")},
      {"empty integer", replaced(suite_text(4), "<m_login_success>1", "<m_login_success>")},
      {"text in a 64-bit value", replaced(suite_text(4), "<m_last_synchronize_time>1700000000123",
                                          "<m_last_synchronize_time>soon")},
  };
  for (const bad_text_case& c : cases) {
    suite_impl read;
    EXPECT_ANY_THROW(from_archive_text(c.text, read)) << c.name;
  }
}

}  // namespace
}  // namespace config
