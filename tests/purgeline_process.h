// Purgeline.exe started from an end-to-end test: run to its end, or held at a named point of its
// pass and ended there; its log read back line by line.
#pragma once

#include <string>
#include <vector>

#include "testing/prefix.h"

namespace e2e {

using test_support::under_wow64;

// The folder of the running test program, where Purgeline.exe and the helpers are built, in the
// ANSI code page with a trailing backslash.
std::string program_folder();

// Purgeline's log file in the temporary folder.
std::string log_path();

// Runs Purgeline.exe with `arguments` to its end; an exit code other than 0 fails the test.
void run_purgeline(const std::string& arguments = "");

// Runs Purgeline.exe with `arguments` to its end and returns its exit code (a start that fails
// fails the test).
unsigned long purgeline_exit_code(const std::string& arguments);

// Starts Purgeline's test flavour so that it holds at `point` (replay/mutex/hold_point.h), ends it
// there with TerminateProcess and waits until it is gone. Returns false when the run did not reach
// the point (it ended first, or took more than `timeout_ms`).
bool cut_purgeline_at(const std::string& point, unsigned long timeout_ms = 300000);

// The log's texts without time stamp and marker.
std::vector<std::string> log_texts();

// Each expected text must be found, at the start of a line, after the one before it.
void expect_in_order(const std::vector<std::string>& lines,
                     const std::vector<std::string>& expected);

// Whether a line contains `text`.
bool log_has(const std::vector<std::string>& lines, const std::string& text);

}  // namespace e2e
