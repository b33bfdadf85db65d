// The folder that receives Purgeline's log.
#pragma once

#include <string>

// The system's temporary folder, ending in a backslash as the system reports it; empty when
// the system reports none. A path longer than the usual 260 bytes is fetched in full.
std::string temp_folder();

// temp_folder(), or "C:\Temp\" when that is empty.
std::string log_folder();

// Full base name handed to the log file (".log.txt" is appended by the log):
// log_folder() + "CVPurgeline".
std::string log_base_name();
