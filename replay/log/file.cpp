#include "replay/log/file.h"

#include <windows.h>

#include "replay/file/plain_file.h"
#include "replay/log/generic.h"
#include "replay/log/rotation.h"
#include "replay/mutex/scope.h"

namespace replay {
namespace log {
namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

// The log file is opened as a plain file: a name planted as a link to another file is
// replaced by a new log, and the other file is never written through.
scoped_handle open_for_append(const std::string& path) {
  const std::wstring name = ansi_path(path);
  // Read access for the copies of rotation; no delete access, which would keep out readers.
  const DWORD access = GENERIC_READ | GENERIC_WRITE;
  scoped_handle file = open_plain_file_to_append(
      name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!file) file = open_plain_file_to_append(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!file) {
    const DWORD error = GetLastError();
    throw generic("CreateFile failed: " + system_error_text(error));
  }
  return file;
}

bool is_empty(HANDLE handle) {
  LARGE_INTEGER size;
  return GetFileSizeEx(handle, &size) && size.QuadPart == 0;
}

}  // namespace

file::file(const std::string& base_name, uint32_t size_limit, uint32_t backup_count)
    : m_lock(lock_name(base_name)),
      m_base_name(base_name),
      m_size_limit(size_limit),
      m_backup_count(backup_count),
      m_file(open_for_append(current_file_name(base_name))) {
  scope guard(&m_lock);
  if (is_empty(m_file.get())) write_bytes(kByteOrderMark);
}

file::~file() = default;

void file::write(int /*level*/, const std::string& header, const std::string& text) {
  scope guard(&m_lock);
  rotate_if_full();
  // Another process may have appended since our last write.
  SetFilePointer(m_file.get(), 0, nullptr, FILE_END);
  write_bytes(header + text + "\r\n");
}

std::string file::lock_name(const std::string& base_name) {
  std::string name = "log-" + base_name;
  for (char& c : name) {
    if (c == '\\') c = '_';
  }
  return name;
}

void file::rotate_if_full() {
  if (!reached_size_limit(m_file.get(), m_size_limit)) return;
  if (m_backup_count > 0) copy_to_backup(m_file.get(), m_base_name, m_backup_count);
  SetFilePointer(m_file.get(), 0, nullptr, FILE_BEGIN);
  SetEndOfFile(m_file.get());
  write_bytes(kByteOrderMark);
}

// Write errors are not reported: the log has nowhere to report them.
void file::write_bytes(const std::string& bytes) {
  DWORD written = 0;
  WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace log
}  // namespace replay
