#include "replay/log/rotation.h"

#include <windows.h>

#include <vector>

#include "replay/file/plain_file.h"
#include "replay/unique_handle.h"

namespace replay {
namespace log {
namespace {

constexpr DWORD kCopyChunk = 65536;

// Copies all of `from`, read from its start, into `to`.
bool copy_content(HANDLE from, HANDLE to) {
  if (SetFilePointer(from, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  std::vector<char> buffer(kCopyChunk);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, buffer.data(), kCopyChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), read, &written, nullptr) || written != read) return false;
  }
}

std::wstring backup_path(const std::string& base_name, uint32_t number) {
  return ansi_path(backup_file_name(base_name, number));
}

bool copy_to(HANDLE current, const std::string& base_name, uint32_t number, uint32_t backup_count) {
  const std::wstring backup = backup_path(base_name, number);
  // A single backup is replaced on every rotation; otherwise only a free number is taken.
  const DWORD access = GENERIC_WRITE | DELETE;
  scoped_handle file = backup_count == 1 ? replace_with_plain_file(backup, access, 0)
                                         : create_plain_file(backup, access, 0);
  if (!file) return false;
  if (copy_content(current, file.get())) return true;
  delete_plain_file(file.get());
  return false;
}

bool move_onto(const std::string& base_name, uint32_t from, uint32_t to) {
  const scoped_handle file = open_plain_file(backup_path(base_name, from), DELETE, 0);
  return file && rename_plain_file(file.get(), backup_path(base_name, to), true);
}

// Moves backup k+1 onto backup k for k = 1 .. N-1; the oldest is dropped.
void shift_down(const std::string& base_name, uint32_t backup_count) {
  for (uint32_t k = 1; k < backup_count; ++k) {
    if (!move_onto(base_name, k + 1, k)) return;
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

bool copy_to_backup(HANDLE current, const std::string& base_name, uint32_t backup_count) {
  if (backup_count == 0) return false;
  for (uint32_t number = 1; number <= backup_count; ++number) {
    if (copy_to(current, base_name, number, backup_count)) return true;
  }
  // Every number is taken (or copying fails): make room once, then one last try.
  shift_down(base_name, backup_count);
  return copy_to(current, base_name, backup_count, backup_count);
}

}  // namespace log
}  // namespace replay
