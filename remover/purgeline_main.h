// Purgeline's run, as WinMain starts it.
#pragma once

#include <string>

// Reads the command line (the text after the program name) once into the options, opens the log
// for the whole run, and runs the one mode the options choose: a real pass (with or without a
// backup), a report-only pass, or a restore. Returns the process exit code.
int purgeline_main(const std::string& command_line);
