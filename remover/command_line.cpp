#include "remover/command_line.h"

bool read_command_line(const std::string& command_line, run_settings& settings) {
  if (command_line.empty()) return false;
  const std::string::size_type first = command_line.find(' ');
  if (first == std::string::npos) {
    settings.brand_name = settings.suite_name = settings.service_name = command_line;
    return true;
  }
  const std::string::size_type last = command_line.rfind(' ');
  settings.brand_name = command_line.substr(0, first);
  settings.service_name = command_line.substr(last + 1);
  settings.suite_name = first == last ? command_line.substr(first + 1)
                                      : command_line.substr(first + 1, last - first - 1);
  return true;
}

std::string command_line_log_text(const run_settings& settings) {
  return "BrandName: " + settings.brand_name + "; SuiteName: " + settings.suite_name +
         "; ServiceName: " + settings.service_name + ".";
}
