#include "msi_cleaner/packed_guid.h"

#include <string>

#include "gtest/gtest.h"

namespace {

struct pack_case {
  const wchar_t* input;
  const wchar_t* packed;
};

TEST(PackGuidTest, PacksTextAndPackedForms) {
  const pack_case cases[] = {
      {L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"76543210BA98FEDC1032547698BADCFE"},
      {L"{01234567-89ab-cdef-0123-456789abcdef}", L"76543210BA98FEDC1032547698BADCFE"},
      {L"76543210BA98FEDC1032547698BADCFE", L"0123456789ABCDEF0123456789ABCDEF"},
      {L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}", L"E3C7B0D549A216F48B2E194C7A3D0F65"},
      // Digits after the 32nd are ignored; anything that is no digit is dropped.
      {L"0123456789ABCDEF0123456789ABCDEF99", L"76543210BA98FEDC1032547698BADCFE"},
      {L"01234567 xyz 89ABCDEF0123456789ABCDEF", L"76543210BA98FEDC1032547698BADCFE"},
  };
  for (const pack_case& c : cases) EXPECT_EQ(c.packed, pack_guid(c.input)) << c.input;
}

TEST(PackGuidTest, ShortInputIsNoPackedGuid) {
  const wchar_t* cases[] = {L"", L"Installer", L"0123456789ABCDEF0123456789ABCDE",
                            L"{01234567-89AB-CDEF-0123-456789ABCDE}", L"ZZZZ"};
  for (const wchar_t* input : cases) {
    EXPECT_EQ(L"", pack_guid(input)) << input;
    EXPECT_EQ(L"", unpack_guid(input)) << input;
  }
}

TEST(UnpackGuidTest, GivesUpperCaseTextForm) {
  const pack_case cases[] = {
      {L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"76543210BA98FEDC1032547698BADCFE"},
      {L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"76543210ba98fedc1032547698badcfe"},
      {L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}", L"E3C7B0D549A216F48B2E194C7A3D0F65"},
  };
  for (const pack_case& c : cases) EXPECT_EQ(c.input, unpack_guid(c.packed)) << c.packed;
}

TEST(PackGuidTest, RoundTrips) {
  const wchar_t* guids[] = {L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}",
                            L"{00000000-0000-0000-0000-000000000000}",
                            L"{FEDCBA98-7654-3210-FEDC-BA9876543210}"};
  for (const wchar_t* guid : guids) {
    EXPECT_EQ(guid, unpack_guid(pack_guid(guid)));
    EXPECT_EQ(pack_guid(guid), pack_guid(pack_guid(pack_guid(guid))));
  }
}

}  // namespace
