// Purgeline's run settings and its command line: leading switches ("/report"), then brand name,
// suite name and service name, split at blanks only.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// One leading word of a command line: "/name" or "/name:value", ended by a blank or by the end
// of the line. A brand name cannot start with "/" (it names a folder), so such words never
// stand for one.
struct leading_word {
  std::string name;   // without the "/"
  std::string value;  // the text after the first ":", empty without one
  bool has_value = false;
};

// Takes the leading words that `accept` accepts off `command_line`, each with the one blank that
// ends it, and returns them in order. It stops at the first token that is not such a word or
// that `accept` refuses, and leaves the rest of the line exactly as it was.
std::vector<leading_word> take_leading_words(
    std::string& command_line, const std::function<bool(const leading_word&)>& accept);

// Takes a leading "/report" (followed by a blank or by nothing) off `command_line`; returns
// whether it was there: the run is then report-only. The rest is the usual command line.
bool take_report_switch(std::string& command_line);

// "BrandName: %s; SuiteName: %s; ServiceName: %s."
std::string command_line_log_text(const run_settings& settings);
