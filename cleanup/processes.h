// Finding and ending processes by image name ("cvus.exe", no path). Names are narrow text in the
// ANSI code page and match by image_name_matches(). None of these functions throws.
//
// Each process is ended through the change layer (replay/change): an end_process change named by
// the image name, detail "process id <id>". A process the run has ended, or in a report-only run
// planned to end, is no longer found.
#pragma once

#include <string>

// True when a running process's image name matches `name`.
bool is_process_running(const std::string& name);

// Ends (exit code 255) every process whose image name matches `name`, except this process and
// the process that started it. Retries an open that is refused with the debug privilege; a
// process that still cannot be opened is left running. Logs nothing and does not wait.
void kill_processes_by_name(const std::string& name);

// Logs what it does and ends the processes named `name` when any is running. On Windows 2000
// the search uses the first 15 characters of a longer name.
void close_process(const std::string& name);
