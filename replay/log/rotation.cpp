#include "replay/log/rotation.h"

#include <windows.h>

namespace replay {
namespace log {
namespace {

bool copy_to(const std::string& base_name, uint32_t number, uint32_t backup_count) {
  const std::string backup = backup_file_name(base_name, number);
  // A single backup is replaced on every rotation.
  if (backup_count == 1) DeleteFileA(backup.c_str());
  return CopyFileA(current_file_name(base_name).c_str(), backup.c_str(), TRUE) != FALSE;
}

// Moves backup k+1 onto backup k for k = 1 .. N-1; the oldest is dropped.
void shift_down(const std::string& base_name, uint32_t backup_count) {
  for (uint32_t k = 1; k < backup_count; ++k) {
    if (!MoveFileExA(backup_file_name(base_name, k + 1).c_str(),
                     backup_file_name(base_name, k).c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return;
    }
  }
}

}  // namespace

std::string current_file_name(const std::string& base_name) {
  return base_name + ".log.txt";
}

std::string backup_file_name(const std::string& base_name, uint32_t number) {
  return base_name + "." + std::to_string(number) + ".log.txt";
}

bool reached_size_limit(HANDLE file, uint32_t size_limit) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return false;
  return static_cast<uint64_t>(size.QuadPart) >= size_limit;
}

bool copy_to_backup(const std::string& base_name, uint32_t backup_count) {
  if (backup_count == 0) return false;
  for (uint32_t number = 1; number <= backup_count; ++number) {
    if (copy_to(base_name, number, backup_count)) return true;
  }
  // Every number is taken (or copying fails): make room once, then one last try.
  shift_down(base_name, backup_count);
  return copy_to(base_name, backup_count, backup_count);
}

}  // namespace log
}  // namespace replay
