// Test support: a scratch folder under the temporary folder, removed with its files.
#pragma once

#include <windows.h>

#include <string>

#include "replay/unique_handle.h"

namespace replay {
namespace testing {

class test_folder {
 public:
  explicit test_folder(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp) + "corvane-" + name + "-" + std::to_string(GetCurrentProcessId());
    remove_all(m_path);
    CreateDirectoryA(m_path.c_str(), nullptr);
  }
  ~test_folder() { remove_all(m_path); }

  // path() + "\" + name.
  std::string operator/(const std::string& name) const { return m_path + "\\" + name; }
  const std::string& path() const { return m_path; }

 private:
  static void remove_all(const std::string& path) {
    WIN32_FIND_DATAA found;
    // The search ends with the if statement, before its folder is removed.
    if (find_handle search(FindFirstFileA((path + "\\*").c_str(), &found)); search) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = path + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          remove_all(child);
        } else {
          SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(child.c_str());
        }
      } while (FindNextFileA(search.get(), &found));
    }
    RemoveDirectoryA(path.c_str());
  }

  std::string m_path;
};

inline std::string read_file(const std::string& path) {
  std::string content;
  scoped_handle file(CreateFileA(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  return content;
}

inline void write_file(const std::string& path, const std::string& content) {
  scoped_handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

}  // namespace testing
}  // namespace replay
