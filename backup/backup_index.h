// The index of a backup: one line per saved item, in the order the changes were made, so that a
// restore can undo them in reverse. UTF-8 text, one item a line, fields separated by tabs:
//   number  what  view  where  value  saved  extra
//   "12\tdelete key\t32\tHKLM\SOFTWARE\Wow6432Node\Corvane\t\t00003.reg\t"
// what: the change's kind ("delete file", ...); view: "32", "64" or "-"; saved: the file in the
// backup folder that holds what the change took ("-" for none); extra: what else the item needs
// (the data a value was set to, a folder's attributes and times). Tabs, line breaks and "%" in
// a field are written as "%09", "%0A", "%0D", "%25".
#pragma once

#include <string>
#include <vector>

#include "replay/change/change.h"

namespace replay {
namespace backup {

struct index_entry {
  int number = 0;
  change_kind kind = change_kind::delete_file;
  registry_view view = registry_view::none;
  std::wstring where;
  std::wstring value;
  std::wstring saved;  // relative to the backup folder; empty for none
  std::wstring extra;
};

// The line of `entry`, without its line break.
std::string index_line(const index_entry& entry);

// "delete key HKLM\X", "delete value HKLM\X [Name]": an item as the logs name it.
std::wstring item_text(change_kind kind, const std::wstring& where, const std::wstring& value);

// Reads one line; false when it is not an index line (a malformed "%" escape or an escaped NUL
// included).
bool read_index_line(const std::string& line, index_entry& entry);

// Every index line of `text`, in order; lines that cannot be read are left out and counted in
// `unreadable` when given.
std::vector<index_entry> read_index(const std::string& text, int* unreadable = nullptr);

}  // namespace backup
}  // namespace replay
