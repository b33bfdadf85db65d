// Paths of the shell's special folders, narrow (ANSI code page). Each result ends with exactly
// one "\" appended to what the shell reports, so callers follow it directly with a name:
// common_appdata_folder() + "Corvane" reads C:\ProgramData\Corvane.
#pragma once

#include <string>

// SHGetFolderPathA(csidl, current value) followed by "\". Throws replay::exception
// "Error in ::SHGetFolderPath( 0, CSIDL=%d ...." when the shell cannot resolve the folder.
std::string folder_path(int csidl);

std::string profile_folder();         // CSIDL_PROFILE (40)
std::string appdata_folder();         // CSIDL_APPDATA (26)
std::string common_appdata_folder();  // CSIDL_COMMON_APPDATA (35)
std::string program_files_folder();   // CSIDL_PROGRAM_FILES (38)
