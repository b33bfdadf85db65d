// Programs of the system folder, started by their full path so that a program of the same name
// planted in the working folder or on the search path never runs.
#pragma once

#include <string>

// The system folder of this process's bitness + "\" + `name` (system32 for a native process,
// SysWOW64 for a 32-bit process under WOW64). Throws replay::exception_w when the system
// folder cannot be found.
std::wstring system_program(const std::wstring& name);
