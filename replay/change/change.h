// One change of the machine: what is done, where, and the detail. The change layer
// (change_layer.h) is the only code that makes changes, so a list of these records is exactly
// what a run did or, in a planned run, would do.
#pragma once

#include <windows.h>

#include <string>

namespace replay {

// What is done.
enum class change_kind {
  end_process,          // where: image name; detail: "process id %u"
  stop_service,         // where: service name; detail: "process id %u" of its running process
  delete_service,       // where: service name
  run_program,          // where: program path; detail: its parameters and the assumed result
  delete_file,          // where: full path
  remove_folder,        // where: full path (the folder is empty by then)
  delete_key,           // where: key path; view; one key (a tree goes child keys first)
  delete_value,         // where: key path; view; value: value name
  set_value,            // where: key path; view; value: value name; type, data: the new value
  write_file,           // where: full path; data: the new content
  schedule_at_restart,  // where: full path, deleted by the system at the next restart
};
constexpr int change_kind_count = 11;

// "end process", "stop service", "delete service", "run program", "delete file",
// "remove folder", "delete key", "delete value", "set value", "write file",
// "schedule at restart".
const char* change_kind_text(change_kind kind);

// The registry view a key was reached through.
enum class registry_view { none, view_32, view_64 };

// "32-bit view", "64-bit view"; empty for none.
const wchar_t* registry_view_text(registry_view view);

// The view the calling process reaches keys through when it names none: the 32-bit view for a
// 32-bit process (also on 32-bit Windows), the 64-bit view for a 64-bit one.
registry_view own_registry_view();

// The view selected by `sam` (KEY_WOW64_32KEY, KEY_WOW64_64KEY), else the process's own view.
registry_view registry_view_of(REGSAM sam);

struct change {
  change_kind kind = change_kind::delete_file;
  // Full path of a file or folder; key path as the registry names it ("HKLM\SOFTWARE\...",
  // "HKCU\...", "HKU\<sid>\..."), the physical place the key has (registry2/key_name.h);
  // service or process name; program path.
  std::wstring where;
  registry_view view = registry_view::none;  // keys and values
  std::wstring value;                        // value name of delete_value and set_value
  std::wstring detail;                       // "3 -> 2", "process id 12"
  DWORD value_type = 0;                      // set_value: REG_DWORD, REG_SZ, ...
  std::string data;                          // set_value: new data; write_file: new content

  // One line: what <TAB> where <TAB> detail. A key is followed by its view in parentheses, a
  // value by its name in brackets: "delete value\tHKLM\SOFTWARE\X [Name] (32-bit view)\t".
  std::wstring text() const;
};

}  // namespace replay
