#include "remover/backup_words.h"

namespace {

bool starts_with(const std::string& text, const std::string& word) {
  return text.compare(0, word.size(), word) == 0;
}

// The line after a word that ends at `end`: its blank is dropped.
std::string after(const std::string& line, std::string::size_type end) {
  if (end >= line.size()) return std::string();
  return line.substr(line[end] == ' ' ? end + 1 : end);
}

std::string unquoted(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

std::string take_backup_word(const std::string& line, backup_request& request) {
  const std::string backup = "/backup", restore = "/restore:";
  if (starts_with(line, restore)) {
    request.what = backup_request::mode::restore;
    request.folder = unquoted(line.substr(restore.size()));
    return std::string();
  }
  if (!starts_with(line, backup)) return line;
  if (line.size() == backup.size() || line[backup.size()] == ' ') {
    request.what = backup_request::mode::backup;
    request.folder.clear();
    return after(line, backup.size());
  }
  if (line[backup.size()] != ':') return line;  // "/backupX" is a brand name
  request.what = backup_request::mode::backup;
  std::string::size_type start = backup.size() + 1, end;
  if (start < line.size() && line[start] == '"') {
    end = line.find('"', start + 1);
    end = end == std::string::npos ? line.size() : end + 1;
  } else {
    end = line.find(' ', start);
    if (end == std::string::npos) end = line.size();
  }
  request.folder = unquoted(line.substr(start, end - start));
  return after(line, end);
}
