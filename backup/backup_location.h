// Where a backup goes: a folder only administrators and the system can write, so that nobody
// else can change what a restore would put back, and never reached through a link.
#pragma once

#include <string>

namespace replay {
namespace backup {

// A new folder below `base` named by the local date and time ("2024-05-17 093012", then
// "2024-05-17 093012 2", ... when taken). `base` is made when missing; an existing one is used
// only when it is a plain folder (no link) owned by the administrators or the system, whose
// rights let nobody else write. Both are made with rights for administrators and the system
// alone. Returns the new folder; throws backup_error saying why not.
std::wstring new_dated_folder(const std::wstring& base);

// The folder an administrator named: made (with its missing parents) with rights for
// administrators and the system alone when missing; an existing one must be an empty plain
// folder (no link) owned by the administrators or the system, whose rights let nobody else
// write. Returns it without a trailing backslash; throws backup_error saying why not ("holds a
// backup already" for one with an index).
std::wstring named_folder(const std::wstring& folder);

}  // namespace backup
}  // namespace replay
