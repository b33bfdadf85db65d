// Shared pieces of the config tests: a scratch folder and a capture of the log lines.
#pragma once

#include "replay/log/test_capture.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace config {
namespace testing {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class scratch_folder {
 public:
  scratch_folder();
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  // The folder's path joined with `name` by a backslash.
  std::wstring path(const std::wstring& name) const;
  const std::wstring& folder() const { return m_folder; }

 private:
  std::wstring m_folder;
};

// Records every log line (level and UTF-8 text) from construction until destruction, which
// shuts the process-wide log down again.
class log_capture {
 public:
  using line = replay::testing::captured_line;
  log_capture();
  ~log_capture();
  log_capture(const log_capture&) = delete;
  log_capture& operator=(const log_capture&) = delete;

  const std::vector<line>& lines() const { return *m_lines; }
  // Whether a line of `level` contains `text`.
  bool contains(int level, const std::string& text) const;

 private:
  std::shared_ptr<std::vector<line>> m_lines;
};

bool file_exists(const std::wstring& path);
// UTF-8 form of a wide path, for comparing with log lines.
std::string utf8(const std::wstring& text);
// The ANSI form of a wide path, for comparing with exception messages.
std::string ansi(const std::wstring& text);

}  // namespace testing
}  // namespace config
