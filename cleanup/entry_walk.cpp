#include "cleanup/entry_walk.h"

#include <boost/filesystem/path.hpp>
#include <boost/system/error_code.hpp>
#include <utility>

#include "replay/change/change_layer.h"
#include "replay/log/log.h"

namespace entry_walk {
namespace {

// The request would have passed through a reparse point.
constexpr DWORD kReparsePointEncountered = 4395;

std::function<void(const std::wstring&)>& open_hook() {
  static std::function<void(const std::wstring&)> hook;
  return hook;
}

bool is_separator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool same_name(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && !b.empty() &&
         CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring without_trailing_separators(std::wstring path) {
  while (path.size() > 1 && is_separator(path.back()) && path[path.size() - 2] != L':') {
    path.pop_back();
  }
  return path;
}

[[noreturn]] void throw_refused(const std::wstring& path) {
  throw link_refused("not followed: a link, or changed while being removed",
                     boost::filesystem::path(path),
                     boost::system::error_code(static_cast<int>(kReparsePointEncountered),
                                               boost::system::system_category()));
}

// The parts of `relative` split at separators; "." parts are dropped, ".." is refused.
std::vector<std::wstring> components(const std::wstring& relative, const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (const wchar_t c : relative + L"\\") {
    if (!is_separator(c)) {
      part += c;
      continue;
    }
    if (part == L"..") nt_file::fail("remove", path, ERROR_INVALID_NAME);
    if (!part.empty() && part != L".") parts.push_back(part);
    part.clear();
  }
  if (parts.empty()) nt_file::fail("remove", path, ERROR_INVALID_NAME);
  return parts;
}

// `path` after `shell_folder`, or a refusal when it does not lie below it.
std::wstring relative_part(const std::wstring& shell_folder, const std::wstring& path) {
  const std::wstring base = without_trailing_separators(shell_folder);
  const bool below = !base.empty() && path.size() > base.size() &&
                     same_name(path.substr(0, base.size()), base) &&
                     (is_separator(path[base.size()]) || is_separator(base.back()));
  if (!below) nt_file::fail("remove", path, ERROR_INVALID_NAME);
  return path.substr(base.size());
}

bool find(const open_folder& folder, const std::wstring& name, nt_file::listed_entry* out) {
  for (nt_file::listed_entry& entry : nt_file::list(folder.handle.get(), folder.path)) {
    if (same_name(entry.name, name) || same_name(entry.short_name, name)) {
      *out = std::move(entry);
      return true;
    }
  }
  return false;
}

// The name of `entry` listed in `folder`, as the system names a handle opened on it there.
std::wstring name_below(const open_folder& folder, const nt_file::listed_entry& entry) {
  const bool root = !folder.name.empty() && is_separator(folder.name.back());
  return folder.name + (root ? L"" : L"\\") + entry.name;
}

// Whether the handle, showing `seen`, holds the entry as listed in `folder`: the same file, and
// reached in that folder, not through a link the system followed (see the header).
bool is_listed_entry(const open_folder& folder, const nt_file::listed_entry& entry,
                     const nt_file::place& seen) {
  return seen.file_index == static_cast<ULONGLONG>(entry.file_id) &&
         same_name(seen.name, name_below(folder, entry));
}

// open_listed, with what the handle showed in `seen`.
replay::scoped_handle open_proven(const open_folder& folder, const nt_file::listed_entry& entry,
                                  nt_file::open_as kind, nt_file::place* seen) {
  const std::wstring path = folder.path + L"\\" + entry.name;
  if (open_hook()) open_hook()(path);
  replay::scoped_handle handle;
  const DWORD code = nt_file::open_below(folder.handle.get(), entry.name, kind, &handle);
  if (code != 0) nt_file::fail("boost::filesystem::remove", path, code);
  if (!nt_file::read_place(handle.get(), seen)) refuse_changed(path);
  const bool shows_link = (seen->attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  // Where the system resolves a link opened as such (Wine's view of Unix symbolic links), the
  // handle is the target's: deleting through it would hit the target.
  if (kind == nt_file::open_as::link && !shows_link) {
    nt_file::fail("boost::filesystem::remove", path, ERROR_NOT_A_REPARSE_POINT);
  }
  if (kind != nt_file::open_as::link && shows_link) refuse_link(path);
  if (!is_listed_entry(folder, entry, *seen)) refuse_changed(path);
  return handle;
}

}  // namespace

open_hook_for_tests::open_hook_for_tests(std::function<void(const std::wstring& path)> hook) {
  open_hook() = std::move(hook);
}

open_hook_for_tests::~open_hook_for_tests() {
  open_hook() = nullptr;
}

void refuse_link(const std::wstring& path) {
  replay::log_info(L"! '%s' is a link: nothing is removed through it !", path.c_str());
  throw_refused(path);
}

void refuse_changed(const std::wstring& path) {
  replay::log_info(L"! '%s' changed while it was being removed: left in place !", path.c_str());
  throw_refused(path);
}

bool is_link(const nt_file::listed_entry& entry) {
  return (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

replay::scoped_handle open_listed(const open_folder& folder, const nt_file::listed_entry& entry,
                                  nt_file::open_as kind) {
  nt_file::place seen;
  return open_proven(folder, entry, kind, &seen);
}

open_folder open_listed_folder(const open_folder& folder, const nt_file::listed_entry& entry,
                               nt_file::open_as kind) {
  open_folder opened;
  nt_file::place seen;
  opened.path = folder.path + L"\\" + entry.name;
  opened.handle = open_proven(folder, entry, kind, &seen);
  opened.name = std::move(seen.name);
  return opened;
}

bool planned_away(const std::wstring& path) {
  const replay::change_layer& layer = replay::changes();
  if (!layer.planning()) return false;
  std::vector<wchar_t> full(32768);
  const DWORD size =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (size == 0 || size >= full.size()) return layer.removed_path(path);
  return layer.removed_path(without_trailing_separators(std::wstring(full.data(), size)));
}

bool open_shell_folder(const std::wstring& path, open_folder* folder) {
  folder->path = without_trailing_separators(path);
  if (planned_away(folder->path)) return false;
  folder->handle = nt_file::open_trusted_folder(folder->path);
  if (!folder->handle) return false;
  nt_file::place seen;
  if (!nt_file::read_place(folder->handle.get(), &seen)) {
    nt_file::fail("boost::filesystem::status", folder->path, GetLastError());
  }
  folder->name = std::move(seen.name);
  return true;
}

located locate(const std::wstring& path) {
  std::vector<wchar_t> full(32768);
  const DWORD size =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (size == 0 || size >= full.size()) nt_file::fail("remove", path, ERROR_INVALID_NAME);
  const std::wstring entry = without_trailing_separators(std::wstring(full.data(), size));
  const std::size_t cut = entry.find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut + 1 >= entry.size()) {
    nt_file::fail("remove", path, ERROR_INVALID_NAME);
  }
  located found;
  const std::wstring parent = entry.substr(0, cut == 2 && entry[1] == L':' ? 3 : cut);
  if (!open_shell_folder(parent, &found.parent)) return found;
  found.parent.path = entry.substr(0, cut);
  found.exists = find(found.parent, entry.substr(cut + 1), &found.entry);
  return found;
}

located locate_below(const std::wstring& shell_folder, const std::wstring& path) {
  const std::vector<std::wstring> parts =
      components(relative_part(shell_folder, without_trailing_separators(path)), path);
  located found;
  if (!open_shell_folder(shell_folder, &found.parent)) return found;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    nt_file::listed_entry step;
    if (!find(found.parent, parts[i], &step)) return found;
    if (is_link(step)) refuse_link(found.parent.path + L"\\" + step.name);
    if ((step.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return found;
    found.parent = open_listed_folder(found.parent, step);
  }
  found.exists = find(found.parent, parts.back(), &found.entry);
  return found;
}

}  // namespace entry_walk
