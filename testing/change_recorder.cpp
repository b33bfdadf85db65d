#include "testing/change_recorder.h"

namespace test_support {

std::vector<std::wstring> change_lines(const std::vector<replay::change>& changes) {
  std::vector<std::wstring> lines;
  for (const replay::change& c : changes) lines.push_back(c.text());
  return lines;
}

}  // namespace test_support
