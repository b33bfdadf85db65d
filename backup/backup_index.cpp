#include "backup/backup_index.h"

#include <cstdlib>
#include <cstring>

#include "replay/unicode/line_field.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace backup {
namespace {

std::string escaped(const std::wstring& text) {
  return escaped_field(to_narrow(text, CP_UTF8, false));
}

// False for a field whose escapes are malformed (the index was changed by hand or by others).
bool unescaped(const std::string& field, std::wstring* text) {
  std::string bytes;
  if (!read_escaped_field(field, &bytes)) return false;
  *text = to_wide(bytes, CP_UTF8);
  return true;
}

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

const char* view_field(registry_view view) {
  return view == registry_view::view_32 ? "32" : view == registry_view::view_64 ? "64" : "-";
}

bool read_kind(const std::string& text, change_kind& kind) {
  for (int i = 0; i < change_kind_count; ++i) {
    if (text == change_kind_text(static_cast<change_kind>(i))) {
      kind = static_cast<change_kind>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

std::wstring item_text(change_kind kind, const std::wstring& where, const std::wstring& value) {
  const std::string what = change_kind_text(kind);
  std::wstring text = std::wstring(what.begin(), what.end()) + L" " + where;
  if (kind == change_kind::delete_value || kind == change_kind::set_value) {
    text += L" [" + value + L"]";
  }
  return text;
}

std::string index_line(const index_entry& e) {
  return std::to_string(e.number) + "\t" + change_kind_text(e.kind) + "\t" + view_field(e.view) +
         "\t" + escaped(e.where) + "\t" + escaped(e.value) + "\t" +
         (e.saved.empty() ? std::string("-") : escaped(e.saved)) + "\t" + escaped(e.extra);
}

bool read_index_line(const std::string& line, index_entry& e) {
  std::string text = line;
  if (!text.empty() && text.back() == '\r') text.pop_back();
  const std::vector<std::string> f = fields_of(text);
  if (f.size() != 7 || !read_kind(f[1], e.kind)) return false;
  char* end = nullptr;
  e.number = static_cast<int>(std::strtol(f[0].c_str(), &end, 10));
  if (f[0].empty() || *end != '\0') return false;
  e.view = f[2] == "32"   ? registry_view::view_32
           : f[2] == "64" ? registry_view::view_64
                          : registry_view::none;
  e.saved.clear();
  if (!unescaped(f[3], &e.where) || !unescaped(f[4], &e.value) ||
      (f[5] != "-" && !unescaped(f[5], &e.saved)) || !unescaped(f[6], &e.extra)) {
    return false;
  }
  return !e.where.empty();
}

std::vector<index_entry> read_index(const std::string& text, int* unreadable) {
  std::vector<index_entry> entries;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    index_entry entry;
    if (read_index_line(line, entry)) {
      entries.push_back(entry);
    } else if (!line.empty() && line != "\r" && unreadable) {
      ++*unreadable;
    }
  }
  return entries;
}

}  // namespace backup
}  // namespace replay
