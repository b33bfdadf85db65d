#include "remover/command_line.h"

namespace {

// The word at the start of `line` ("/name" or "/name:value" up to the first blank); false when
// the line does not start with "/".
bool read_leading_word(const std::string& line, leading_word& word, std::string::size_type& end) {
  if (line.empty() || line[0] != '/') return false;
  end = line.find(' ');
  if (end == std::string::npos) end = line.size();
  const std::string token = line.substr(1, end - 1);
  const std::string::size_type colon = token.find(':');
  word.has_value = colon != std::string::npos;
  word.name = token.substr(0, colon);
  word.value = word.has_value ? token.substr(colon + 1) : std::string();
  return true;
}

}  // namespace

std::vector<leading_word> take_leading_words(
    std::string& command_line, const std::function<bool(const leading_word&)>& accept) {
  std::vector<leading_word> words;
  leading_word word;
  std::string::size_type end = 0;
  while (read_leading_word(command_line, word, end) && accept(word)) {
    words.push_back(word);
    command_line.erase(0, end < command_line.size() ? end + 1 : end);
  }
  return words;
}

bool take_report_switch(std::string& command_line) {
  return !take_leading_words(command_line, [](const leading_word& word) {
            return word.name == "report" && !word.has_value;
          }).empty();
}

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
