#include "remover/temp_folder.h"

#include <windows.h>

#include <vector>

std::string temp_folder() {
  std::vector<char> buffer(MAX_PATH, '\0');
  DWORD length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
  // A longer path reports the size it needs (its terminating zero included): ask again with
  // that size instead of falling back to a default folder.
  while (length > buffer.size()) {
    buffer.assign(length, '\0');
    length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  return std::string(buffer.data(), length);
}

std::string log_folder() {
  std::string folder = temp_folder();
  return folder.empty() ? "C:\\Temp\\" : folder;
}

std::string log_base_name() { return log_folder() + "CVPurgeline"; }
