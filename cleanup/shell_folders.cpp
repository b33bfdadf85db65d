#include "cleanup/shell_folders.h"

#include <shlobj.h>
#include <windows.h>

#include "replay/exception/exception.h"

std::string folder_path(int csidl) {
  char buffer[MAX_PATH] = {};
  const HRESULT result = SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(result)) {
    throw replay::exception("Error in ::SHGetFolderPath( 0, CSIDL=%d ....", csidl);
  }
  return std::string(buffer) + "\\";
}

std::string profile_folder() {
  return folder_path(CSIDL_PROFILE);
}

std::string appdata_folder() {
  return folder_path(CSIDL_APPDATA);
}

std::string common_appdata_folder() {
  return folder_path(CSIDL_COMMON_APPDATA);
}

std::string program_files_folder() {
  return folder_path(CSIDL_PROGRAM_FILES);
}
