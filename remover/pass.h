// The clean-up pass that Purgeline runs from start to end.
#pragma once

#include <string>

// Runs the whole pass with the command line as Windows hands it to WinMain (the text after the
// program name). Returns the process exit code: 0 when the pass ran to its end.
int run_cleanup_pass(const std::string& command_line);
