// A fresh, empty folder under the temporary folder, removed with everything in it at the end.
#pragma once

#include <string>

namespace test_support {

class scratch_folder {
 public:
  // The folder is named after `name`, this process and a counter, so that tests running at the
  // same time never share one.
  explicit scratch_folder(const std::wstring& name = L"scratch");
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  // The folder, without a trailing backslash.
  const std::wstring& path() const { return m_path; }
  // The folder's path joined with `name` by a backslash.
  std::wstring path(const std::wstring& name) const { return m_path + L"\\" + name; }
  std::wstring operator/(const std::wstring& name) const { return path(name); }
  // The same in the ANSI code page, for narrow file APIs.
  std::string operator/(const std::string& name) const;
  // Copies helper program `helper` into subfolder `subfolder` (created when missing) as
  // `file_name`; returns the copy's path.
  std::wstring place(const std::wstring& helper, const std::wstring& subfolder,
                     const std::wstring& file_name) const;

 private:
  std::wstring m_path;
};

}  // namespace test_support
