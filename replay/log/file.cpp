#include "replay/log/file.h"

#include <windows.h>

#include "replay/exception/exception.h"
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

// A second handle to the open file that may only append: each write through it goes to the
// end of the file as one piece, even when another process appends at the same time. (Wine
// appends with a size query and a positioned write, which two processes can race: there only
// the lock keeps their lines apart.)
scoped_handle open_to_append_only(HANDLE file) {
  const DWORD access = FILE_APPEND_DATA | SYNCHRONIZE;
  scoped_handle appending(
      ReOpenFile(file, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
  if (!appending) appending.reset(ReOpenFile(file, access, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
  return appending;
}

// The lock of the log, or none when its name is taken by an object that is not ours.
std::unique_ptr<real_mutex> make_lock(const std::string& name, lock_accounts accounts) {
  try {
    return std::make_unique<real_mutex>(name, accounts);
  } catch (const exception&) {
    return nullptr;
  }
}

bool is_empty(HANDLE handle) {
  LARGE_INTEGER size;
  return GetFileSizeEx(handle, &size) && size.QuadPart == 0;
}

}  // namespace

file::file(const std::string& base_name, uint32_t size_limit, uint32_t backup_count,
           lock_accounts accounts)
    : m_lock(make_lock(lock_name(base_name), accounts)),
      m_base_name(base_name),
      m_size_limit(size_limit),
      m_backup_count(backup_count),
      m_file(open_for_append(current_file_name(base_name))),
      m_appending(open_to_append_only(m_file.get())) {
  scope guard(m_lock.get());
  if (is_empty(m_file.get())) append(kByteOrderMark);
}

file::~file() = default;

void file::write(int /*level*/, const std::string& header, const std::string& text) {
  scope guard(m_lock.get());
  if (guard.held()) rotate_if_full();
  append(header + text + "\r\n");
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
  append(kByteOrderMark);
}

// Write errors are not reported: the log has nowhere to report them.
void file::append(const std::string& bytes) {
  HANDLE target = m_appending.get();
  if (!m_appending) {
    // Another process may have appended since our last write.
    target = m_file.get();
    SetFilePointer(target, 0, nullptr, FILE_END);
  }
  DWORD written = 0;
  WriteFile(target, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace log
}  // namespace replay
