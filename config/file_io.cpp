#include "config/file_io.h"

#include <windows.h>

#include <limits>
#include <string>

#include "config/storage_error.h"
#include "replay/exception/exception.h"

namespace config {
namespace file_io {
namespace {

bool is_missing_error(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

replay::scoped_handle open_for_reading(const std::wstring& path) {
  replay::scoped_handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.is_valid()) return file;
  const DWORD error = GetLastError();
  if (is_missing_error(error)) {
    throw file_not_found("file not found (" + std::to_string(error) + ")");
  }
  throw replay::exception("failed to open file (%lu)", error);
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
  replay::scoped_handle file = open_for_reading(path);
  std::string bytes(file_size(file.get()), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(bytes.size() - done);
    if (!ReadFile(file.get(), &bytes[done], wanted, &read, nullptr)) {
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
  replay::scoped_handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return false;
  try {
    write_all_and_flush(file.get(), bytes);
    close(file);
  } catch (...) {
    file.reset();
    DeleteFileW(path.c_str());
    throw;
  }
  return true;
}

void replace(const std::wstring& from, const std::wstring& to) {
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw replay::exception("failed to replace file (%lu)", GetLastError());
  }
}

void remove_quietly(const std::wstring& path) {
  DeleteFileW(path.c_str());
}

}  // namespace file_io
}  // namespace config
