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

// Whether the open file's size has reached the limit. A size that cannot be read never counts
// as reached: cutting the file on a failed query would lose the log.
bool reached_size_limit(HANDLE file, uint32_t size_limit);

// Copies the content of the open current file `current` (read through its handle, never by
// name) to the first free backup number; when all are taken, shifts them down once (the oldest
// is dropped) and copies to the newest. Backups are written as new plain files and moved by
// their handles, so a backup name planted as a link is never written through, and the file it
// leads to is never moved (it counts as taken, or stops the shift). Gives up (returns false)
// instead of trying again when copies or moves keep failing.
bool copy_to_backup(HANDLE current, const std::string& base_name, uint32_t backup_count);

}  // namespace log
}  // namespace replay
