#include "config/configuration_protection.h"

#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "replay/exception/exception.h"

namespace config {
namespace {

const std::string kText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n<products/>\n\n";

std::string transformed(const std::string& input, bool protect) {
  std::istringstream in(input);
  std::ostringstream out;
  transform_configuration_data(in, out, protect);
  return out.str();
}

// Protects with the suite's flags and description but another entropy.
std::string protect_with_entropy(const std::string& plain, std::string entropy) {
  DATA_BLOB data = {static_cast<DWORD>(plain.size()),
                    reinterpret_cast<BYTE*>(const_cast<char*>(plain.data()))};
  DATA_BLOB salt = {static_cast<DWORD>(entropy.size()), reinterpret_cast<BYTE*>(&entropy[0])};
  DATA_BLOB out = {0, nullptr};
  EXPECT_TRUE(CryptProtectData(&data, L"Configuration data", &salt, nullptr, nullptr, 5, &out));
  std::string blob(reinterpret_cast<char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  return blob;
}

TEST(ConfigurationProtection, RoundTripReturnsTheSameBytes) {
  const std::string blob = transformed(kText, true);
  EXPECT_NE(kText, blob);
  EXPECT_EQ(std::string::npos, blob.find("products"));
  EXPECT_EQ(kText, transformed(blob, false));
}

TEST(ConfigurationProtection, BinaryDataRoundTrips) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
  EXPECT_EQ(bytes, unprotect_configuration_data(protect_configuration_data(bytes)));
}

TEST(ConfigurationProtection, EntropyIsTheSuitesSevenBytes) {
  const std::string blob = protect_with_entropy(kText, "Tq4rXzL");
  EXPECT_EQ(kText, transformed(blob, false));
}

struct unreadable_case {
  const char* name;
  std::string blob;
};

TEST(ConfigurationProtection, UnreadableDataFailsWithoutOutput) {
  const std::string good = protect_configuration_data(kText);
  const unreadable_case cases[] = {
      {"plain xml", kText},
      {"empty", ""},
      {"wrong entropy", protect_with_entropy(kText, "Tq4rXzl")},
      {"entropy with terminator", protect_with_entropy(kText, std::string("Tq4rXzL\0", 8))},
      {"truncated blob", good.substr(0, good.size() / 2)},
  };
  for (const unreadable_case& c : cases) {
    std::istringstream in(c.blob);
    std::ostringstream out;
    try {
      transform_configuration_data(in, out, false);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const replay::exception& error) {
      EXPECT_EQ(0u, std::string(error.what()).find("[failed to decrypt data (0x"))
          << c.name << ": " << error.what();
    }
    EXPECT_TRUE(out.str().empty()) << c.name;
  }
}

}  // namespace
}  // namespace config
