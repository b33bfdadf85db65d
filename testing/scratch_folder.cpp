#include "testing/scratch_folder.h"

#include <windows.h>

#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/text.h"

namespace test_support {

scratch_folder::scratch_folder(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  static int counter = 0;
  m_path = std::wstring(temp) + L"cvtest_" + name + L"_" + std::to_wstring(GetCurrentProcessId()) +
           L"_" + std::to_wstring(++counter);
  remove_forced(m_path);
  make_folder(m_path);
}

scratch_folder::~scratch_folder() {
  remove_forced(m_path);
}

std::string scratch_folder::operator/(const std::string& name) const {
  return ansi(m_path) + "\\" + name;
}

std::wstring scratch_folder::place(const std::wstring& helper, const std::wstring& subfolder,
                                   const std::wstring& file_name) const {
  const std::wstring folder = path(subfolder);
  make_folder(folder);
  const std::wstring target = folder + L"\\" + file_name;
  CopyFileW(helper_program(helper).c_str(), target.c_str(), FALSE);
  return target;
}

}  // namespace test_support
