// The version resources of the built deliverables: the one version of the build and the commit
// it was made from, as Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "corvane_version.h"

namespace {

std::wstring program_folder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::wstring widen(const char* text) {
  return std::wstring(text, text + strlen(text));
}

// The deliverables of this build: Setupmate, and Purgeline in the 32-bit build.
std::vector<std::wstring> deliverables() {
  std::vector<std::wstring> names{L"Setupmate.dll"};
  if (sizeof(void*) == 4) names.push_back(L"Purgeline.exe");
  return names;
}

class VersionResource : public ::testing::TestWithParam<std::wstring> {
 protected:
  void SetUp() override {
    const std::wstring path = program_folder() + GetParam();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource, error " << GetLastError();
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data_.data()));
  }

  // A value of the English (United States), Unicode block; empty when it is missing.
  std::wstring text(const wchar_t* name) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data_.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        !value) {
      return std::wstring();
    }
    return std::wstring(value, length > 0 ? length - 1 : 0);
  }

  std::vector<BYTE> data_;
};

TEST_P(VersionResource, NumbersAreTheBuildsVersion) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
  const DWORD high = MAKELONG(CORVANE_VERSION_MINOR, CORVANE_VERSION_MAJOR);
  const DWORD low = MAKELONG(0, CORVANE_VERSION_PATCH);
  EXPECT_EQ(high, fixed->dwFileVersionMS);
  EXPECT_EQ(low, fixed->dwFileVersionLS);
  EXPECT_EQ(high, fixed->dwProductVersionMS);
  EXPECT_EQ(low, fixed->dwProductVersionLS);
}

TEST_P(VersionResource, TextsNameTheVersionAndTheCommit) {
  EXPECT_EQ(widen(CORVANE_FILE_VERSION_TEXT), text(L"FileVersion"));
  EXPECT_EQ(widen(CORVANE_FILE_VERSION_TEXT), text(L"ProductVersion"));
  EXPECT_EQ(L"commit " + widen(CORVANE_COMMIT), text(L"Comments"));
  EXPECT_EQ(L"Corvane", text(L"ProductName"));
}

INSTANTIATE_TEST_SUITE_P(Deliverables, VersionResource, ::testing::ValuesIn(deliverables()));

}  // namespace
