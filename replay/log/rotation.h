// Numbered backups of a log file: base + ".1.log.txt" is the oldest, base + ".N.log.txt" the
// newest of N = backup_count.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace replay {
namespace log {

std::string current_file_name(const std::string& base_name);
std::string backup_file_name(const std::string& base_name, uint32_t number);

// Copies the current file to the first free backup number; when all are taken, shifts them
// down once (the oldest is dropped) and copies to the newest. Gives up (returns false) instead
// of trying again when copies or moves keep failing.
// Whether the open file's size has reached the limit. A size that cannot be read never counts
// as reached: cutting the file on a failed query would lose the log.
bool reached_size_limit(HANDLE file, uint32_t size_limit);

bool copy_to_backup(const std::string& base_name, uint32_t backup_count);

}  // namespace log
}  // namespace replay
