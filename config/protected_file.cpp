#include "config/protected_file.h"

#include <windows.h>

#include "config/configuration_protection.h"
#include "config/file_io.h"
#include "replay/exception/exception.h"

namespace config {

std::string read_raw_file(const std::wstring& path) {
  return file_io::read_all(path);
}

std::string read_protected_file(const std::wstring& path) {
  return unprotect_configuration_data(file_io::read_all(path));
}

void write_raw_file(const std::wstring& path, const std::string& bytes) {
  if (!file_io::write_file(path, bytes)) {
    throw replay::exception("failed to create file (%lu)", GetLastError());
  }
}

void write_protected_file(const std::wstring& path, const std::string& text) {
  write_raw_file(path, protect_configuration_data(text));
}

}  // namespace config
