#include "config/file_io.h"

#include <windows.h>

#include <limits>
#include <string>

#include "config/storage_error.h"
#include "replay/exception/exception.h"
#include "replay/file/plain_file.h"

namespace config {
namespace file_io {
namespace {

// Reading, then a move flushed to disk.
constexpr DWORD kReadAndMove = GENERIC_READ | GENERIC_WRITE | DELETE;

bool is_missing_error(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Throws for the failed open of a file to read.
[[noreturn]] void open_failed(DWORD error) {
  if (is_missing_error(error)) {
    throw file_not_found("file not found (" + std::to_string(error) + ")");
  }
  if (error == replay::kNotAPlainFile) throw replay::exception("not a plain file (%lu)", error);
  throw replay::exception("failed to open file (%lu)", error);
}

replay::scoped_handle open_for_reading(const std::wstring& path) {
  replay::scoped_handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) open_failed(GetLastError());
  return file;
}

std::size_t file_size(HANDLE file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    throw replay::exception("failed to get file size (%lu)", GetLastError());
  }
  if (size.QuadPart > std::numeric_limits<DWORD>::max() / 2) {
    throw replay::exception("file too large");
  }
  return static_cast<std::size_t>(size.QuadPart);
}

}  // namespace

std::string read_all(const std::wstring& path) {
  return read_all(open_for_reading(path).get());
}

replay::scoped_handle open_plain(const std::wstring& path) {
  replay::scoped_handle file = replay::open_plain_file(path, kReadAndMove, FILE_SHARE_READ);
  if (!file.is_valid()) open_failed(GetLastError());
  return file;
}

std::string read_all(HANDLE file) {
  std::string bytes(file_size(file), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(bytes.size() - done);
    if (!ReadFile(file, &bytes[done], wanted, &read, nullptr)) {
      throw replay::exception("failed to read file (%lu)", GetLastError());
    }
    if (read == 0) break;  // the file shrank while we read it
    done += read;
  }
  bytes.resize(done);
  return bytes;
}

namespace {

void write_all_and_flush(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD wanted = static_cast<DWORD>(bytes.size() - done);
    if (!WriteFile(file, bytes.data() + done, wanted, &written, nullptr)) {
      throw replay::exception("failed to write file (%lu)", GetLastError());
    }
    if (written == 0) throw replay::exception("failed to write file (no progress)");
    done += written;
  }
  if (!FlushFileBuffers(file)) {
    throw replay::exception("failed to flush file (%lu)", GetLastError());
  }
}

void close(replay::scoped_handle& file) {
  if (!CloseHandle(file.release())) {
    throw replay::exception("failed to close file (%lu)", GetLastError());
  }
}

}  // namespace

bool write_file(const std::wstring& path, const std::string& bytes) {
  replay::scoped_handle file = replay::replace_with_plain_file(path, GENERIC_WRITE | DELETE, 0);
  if (!file.is_valid()) return false;
  try {
    write_all_and_flush(file.get(), bytes);
  } catch (...) {
    replay::delete_plain_file(file.get());  // through the handle: the name may be anyone's now
    throw;
  }
  close(file);
  return true;
}

void replace(const std::wstring& from, const std::wstring& to) {
  replay::scoped_handle file = replay::open_plain_file(from, GENERIC_WRITE | DELETE, 0);
  if (!file.is_valid() || !replay::rename_plain_file(file.get(), to, true) ||
      !FlushFileBuffers(file.get())) {
    throw replay::exception("failed to replace file (%lu)", GetLastError());
  }
}

}  // namespace file_io
}  // namespace config
