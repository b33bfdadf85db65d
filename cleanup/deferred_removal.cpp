#include "cleanup/deferred_removal.h"

#include "cleanup/entry_walk.h"
#include "cleanup/nt_file.h"
#include "replay/change/change_layer.h"
#include "replay/unique_handle.h"

namespace deferred_removal {
namespace {

// The path as the file functions take it: backslashes only, and the "\\?\" form where it is
// too long for the plain one.
std::wstring for_file_functions(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  const bool drive_path = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
  if (drive_path && path.size() >= MAX_PATH) path.insert(0, L"\\\\?\\");
  return path;
}

// Whether `path`, opened by name without following its last component, is the entry held.
bool leads_to(const std::wstring& path, HANDLE proven) {
  nt_file::identity held;
  nt_file::identity named;
  if (!nt_file::read_identity(proven, &held)) return false;
  const replay::scoped_handle by_name(
      CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return by_name && nt_file::read_identity(by_name.get(), &named) &&
         (named.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && named.volume == held.volume &&
         named.file_index == held.file_index;
}

}  // namespace

void schedule(const std::wstring& path, HANDLE proven) {
  const std::wstring name = for_file_functions(path);
  if (!leads_to(name, proven)) entry_walk::refuse_changed(path);
  replay::change restart;
  restart.kind = replay::change_kind::schedule_at_restart;
  restart.where = path;
  const DWORD code = replay::changes().make(restart, [&]() -> DWORD {
    return MoveFileExW(name.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 0 : GetLastError();
  });
  if (code != 0) nt_file::fail("MoveFileEx", path, code);
}

}  // namespace deferred_removal
