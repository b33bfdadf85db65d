// The stamp in front of every log line: local time and the level's marker.
#pragma once

#include <windows.h>

#include <string>

namespace replay {
namespace log {

constexpr int kLowestLevel = 0;
constexpr int kHighestLevel = 5;

// Levels outside 0..5 are taken as the nearest level in range.
int clamp_level(int level);
// One of "# +!>@", by the (clamped) level.
char level_marker(int level);
// "YYYY/MM/DD HH:MM:SS" + blank + marker + two blanks.
std::string line_header(const SYSTEMTIME& time, int level);

}  // namespace log
}  // namespace replay
