// Purgeline's run settings and its command line: brand name, suite name and service name,
// split at blanks only.
#pragma once

#include <string>

struct run_settings {
  std::string brand_name = "Ravelins";
  std::string suite_name = "Suite";
  std::string service_name = "RavelinSuiteService.exe";
};

// Fills the three names from a non-empty command line: the brand is the text before the first
// blank, the service the text after the last blank, the suite what stands between them (the
// text after the blank when there is one blank, the whole line when there is none). Nothing is
// trimmed. An empty command line leaves the defaults. Returns whether the line was read.
bool read_command_line(const std::string& command_line, run_settings& settings);

// "BrandName: %s; SuiteName: %s; ServiceName: %s."
std::string command_line_log_text(const run_settings& settings);
