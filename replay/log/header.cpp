#include "replay/log/header.h"

#include <stdio.h>

namespace replay {
namespace log {

int clamp_level(int level) {
  if (level < kLowestLevel) return kLowestLevel;
  if (level > kHighestLevel) return kHighestLevel;
  return level;
}

char level_marker(int level) {
  static const char kMarkers[] = "# +!>@";
  return kMarkers[clamp_level(level)];
}

std::string line_header(const SYSTEMTIME& time, int level) {
  char buffer[64];
  const int length = _snprintf(buffer, sizeof(buffer), "%.4d/%.2d/%.2d %.2d:%.2d:%.2d %c  ",
                               time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                               time.wSecond, level_marker(level));
  return std::string(buffer, length > 0 ? length : 0);
}

}  // namespace log
}  // namespace replay
