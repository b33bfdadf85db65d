#include "config/test_support.h"

#include <windows.h>

#include <boost/filesystem/operations.hpp>

#include "replay/log/log.h"

namespace config {
namespace testing {
namespace {

std::string convert(const std::wstring& text, UINT codepage) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(codepage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codepage, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

}  // namespace

scratch_folder::scratch_folder() {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  static int counter = 0;
  m_folder = std::wstring(temp) + L"config_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(++counter);
  boost::filesystem::remove_all(m_folder);
  boost::filesystem::create_directories(m_folder);
}

scratch_folder::~scratch_folder() {
  boost::system::error_code ignored;
  boost::filesystem::remove_all(m_folder, ignored);
}

std::wstring scratch_folder::path(const std::wstring& name) const {
  return m_folder + L"\\" + name;
}

log_capture::log_capture() : m_lines(std::make_shared<std::vector<line>>()) {
  replay::log_add_listener(new replay::testing::capture(m_lines.get()));
}

log_capture::~log_capture() {
  replay::log_shutdown();
}

bool log_capture::contains(int level, const std::string& text) const {
  for (const line& entry : *m_lines) {
    if (entry.level == level && entry.text.find(text) != std::string::npos) return true;
  }
  return false;
}

bool file_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string utf8(const std::wstring& text) {
  return convert(text, CP_UTF8);
}

std::string ansi(const std::wstring& text) {
  return convert(text, CP_ACP);
}

}  // namespace testing
}  // namespace config
