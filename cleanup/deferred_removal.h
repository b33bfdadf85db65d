// Entries that cannot be deleted now because they are in use (held open without delete sharing,
// or a program image that a running process has loaded) are handed to the system, which deletes
// them at the next restart (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT). The system deletes by
// path, so the path is scheduled only once it is shown, just before, to lead to the very entry
// the removal proved by handle.
#pragma once

#include <windows.h>

#include <string>

namespace deferred_removal {

// Schedules `path` for deletion at the next restart. `proven` is a handle on the entry, opened
// relative to its folder and proved to be the entry listed there. Throws entry_walk::link_refused
// when `path` does not lead to that entry, boost::filesystem::filesystem_error when the system
// refuses the request. Logs nothing. The request is a schedule_at_restart change of the change
// layer, made with `path` as given.
void schedule(const std::wstring& path, HANDLE proven);

}  // namespace deferred_removal
