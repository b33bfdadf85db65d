#include "remover/temp_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// Sets an environment variable of this process for the length of a test.
class scoped_environment {
public:
  scoped_environment(const char* name, const std::string& value) : m_name(name) {
    char buffer[32768];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    m_had_value = length > 0 && length < sizeof(buffer);
    if (m_had_value) m_old.assign(buffer, length);
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~scoped_environment() { SetEnvironmentVariableA(m_name, m_had_value ? m_old.c_str() : nullptr); }

private:
  const char* m_name;
  std::string m_old;
  bool m_had_value = false;
};

TEST(TempFolder, EndsInBackslash) {
  const std::string folder = temp_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ('\\', folder.back());
  EXPECT_EQ(folder + "CVPurgeline", log_base_name());
}

// Windows reports a temporary folder longer than 260 bytes by the size it needs, and the path
// is then fetched whole. Wine refuses such a path outright (GetTempPath returns 0), which is
// the other case worth seeing: no temporary folder at all puts the log in C:\Temp\.
TEST(TempFolder, LongPathIsFetchedWholeOrTheLogFallsBackToCTemp) {
  std::string long_folder = "C:\\";
  while (long_folder.size() < 300) long_folder += "corvane-temporary-folder\\";
  scoped_environment tmp("TMP", long_folder);
  scoped_environment temp("TEMP", long_folder);
  const std::string folder = temp_folder();
  if (folder.empty()) {
    EXPECT_EQ("C:\\Temp\\CVPurgeline", log_base_name());
  } else {
    EXPECT_EQ(long_folder, folder);
    EXPECT_EQ(long_folder + "CVPurgeline", log_base_name());
  }
}

}  // namespace
