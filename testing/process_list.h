// The running programs of the machine, by image name, seen with the plain API (independent of
// the code under test).
#pragma once

#include <string>

namespace test_support {

// Whether a program of that image name ("x.exe", any case) runs.
bool process_running(const std::wstring& exe_name);
// Ends every program of that image name.
void end_processes(const std::wstring& exe_name);

}  // namespace test_support
