#include "backup/backup_observer.h"

#include <cstdio>

#include "backup/key_place.h"
#include "backup/reg_export.h"
#include "backup/reg_file.h"
#include "replay/log/log.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace backup {
namespace {

// Returned by a save when there is nothing to take (the item is gone already): the change goes
// ahead, without an index line.
constexpr DWORD kNothingToSave = 0xFFFFFFFF;

bool gone(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring file_time_text(const FILETIME& time) {
  wchar_t text[20];
  swprintf(text, 20, L"%08lx%08lx", static_cast<unsigned long>(time.dwHighDateTime),
           static_cast<unsigned long>(time.dwLowDateTime));
  return text;
}

std::string read_file_bytes(const std::wstring& path) {
  scoped_handle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (file) read_all(file.get(), bytes);
  return bytes;
}

// The machine's file or folder at `path` itself, never what a link leads to.
scoped_handle open_item(const std::wstring& path) {
  return scoped_handle(
      CreateFileW(path.c_str(), GENERIC_READ | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool is_link_or_folder(HANDLE item, bool* folder) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(item, &info)) return true;
  *folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0;
}

// The value `name` of the key `where` as it is now; absent when it or its key is missing.
DWORD read_value(const std::wstring& where, const std::wstring& name, reg_value* value) {
  value->name = name;
  std::wstring path;
  const HKEY root = root_of(where, &path);
  if (root == nullptr) return ERROR_INVALID_NAME;
  unique_hkey key;
  LONG code =
      RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | physical_view(), key.receive());
  if (code == ERROR_SUCCESS) {
    DWORD size = 0;
    code = RegQueryValueExW(key.get(), name.c_str(), nullptr, &value->type, nullptr, &size);
    if (code == ERROR_SUCCESS) {
      value->data.assign(size, '\0');
      code = RegQueryValueExW(key.get(), name.c_str(), nullptr, &value->type,
                              reinterpret_cast<BYTE*>(&value->data[0]), &size);
      value->data.resize(size);
    }
  }
  if (gone(static_cast<DWORD>(code))) {
    value->absent = true;
    return 0;
  }
  return static_cast<DWORD>(code);
}

}  // namespace

backup_observer::backup_observer(const std::wstring& folder) : m_store(folder) {}

std::wstring backup_observer::numbered(const wchar_t* suffix) {
  wchar_t number[16];
  swprintf(number, 16, L"%05d", ++m_files);
  return number + std::wstring(suffix);
}

// Nothing may leave the layer: a save that throws (out of memory) counts as failed.
DWORD backup_observer::before(const change& c) {
  DWORD error = ERROR_NOT_ENOUGH_MEMORY;
  try {
    index_entry e;
    e.number = m_number + 1;
    e.kind = c.kind;
    e.view = c.view;
    e.where = c.where;
    e.value = c.value;
    error = save(c, e);
    if (error == kNothingToSave) return 0;
    if (error == 0) error = m_store.append_index(index_line(e));
    if (error == 0) {
      ++m_number;
      return 0;
    }
    log_write(1, L"   skipped: no backup of " + item_text(c.kind, c.where, c.value) + L" (" +
                     std::to_wstring(error) + L")");
  } catch (...) {
  }
  return error;
}

void backup_observer::tree_ahead(const change& c) {
  try {
    const std::wstring name = to_upper(long_key_name(c.where));
    for (const saved_tree& tree : m_trees) {
      if (tree.keys.count(name)) return;
    }
    std::wstring file;
    export_tree(c.where, c.view, &file);  // when it fails, each key is saved on its own
  } catch (...) {
  }
}

DWORD backup_observer::save(const change& c, index_entry& e) {
  switch (c.kind) {
    case change_kind::delete_key:
      return save_key(c, e);
    case change_kind::delete_value:
    case change_kind::set_value:
      return save_value(c, e);
    case change_kind::delete_file:
    case change_kind::schedule_at_restart:
      return save_file(c, e);
    case change_kind::remove_folder:
      return save_folder(c, e);
    case change_kind::write_file:
      return save_written(c, e);
    case change_kind::delete_service:
      return save_service(c, e);
    default:  // end process, stop service, run program: nothing that could be put back
      e.extra = c.detail;
      return 0;
  }
}

DWORD backup_observer::export_tree(const std::wstring& key, registry_view view,
                                   std::wstring* file) {
  *file = numbered(L".reg");
  const std::wstring path = m_store.path(*file);
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_FILE_EXISTS;
  if (const DWORD error = export_key_tree(key, view, path)) return error;
  if (const DWORD error = m_store.settle_file(*file)) return error;
  saved_tree tree;
  tree.file = *file;
  for (const reg_key& k : parse_reg_file(read_file_bytes(path))) tree.keys.insert(to_upper(k.name));
  if (!tree.keys.count(to_upper(long_key_name(key)))) return ERROR_FUNCTION_FAILED;
  m_trees.push_back(tree);
  return 0;
}

DWORD backup_observer::save_key(const change& c, index_entry& e) {
  const std::wstring name = to_upper(long_key_name(c.where));
  for (const saved_tree& tree : m_trees) {
    if (tree.keys.count(name)) {
      e.saved = tree.file;
      return 0;
    }
  }
  return export_tree(c.where, c.view, &e.saved);
}

DWORD backup_observer::save_value(const change& c, index_entry& e) {
  reg_value old;
  if (const DWORD error = read_value(c.where, c.value, &old)) return error;
  e.saved = numbered(L".reg");
  const std::wstring key = long_key_name(c.where);
  if (const DWORD error = m_store.write_new(e.saved, reg_file_bytes({{key, {old}}}))) {
    return error;
  }
  if (c.kind != change_kind::set_value) return 0;
  reg_value written;
  written.name = c.value;
  written.type = c.value_type;
  written.data = c.data;
  e.extra = numbered(L".after.reg");
  return m_store.write_new(e.extra, reg_file_bytes({{key, {written}}}));
}

DWORD backup_observer::save_file(const change& c, index_entry& e) {
  const scoped_handle item = open_item(c.where);
  if (!item) return gone(GetLastError()) ? kNothingToSave : GetLastError();
  bool folder = false;
  if (is_link_or_folder(item.get(), &folder)) {
    e.extra = folder ? L"folder" : L"link";  // a link's removal takes nothing but the link
    return 0;
  }
  return copy_under_path(item.get(), c.where, e);
}

DWORD backup_observer::copy_under_path(HANDLE item, const std::wstring& path, index_entry& e) {
  e.saved = saved_file_path(path);
  if (e.saved.empty()) return ERROR_INVALID_NAME;
  DWORD error = m_store.copy_in(item, e.saved);
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {  // saved before, this run
    e.saved += L"." + std::to_wstring(e.number);
    SetFilePointer(item, 0, nullptr, FILE_BEGIN);
    error = m_store.copy_in(item, e.saved);
  }
  return error;
}

DWORD backup_observer::save_folder(const change& c, index_entry& e) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(c.where.c_str(), GetFileExInfoStandard, &data)) {
    return gone(GetLastError()) ? kNothingToSave : GetLastError();
  }
  wchar_t attributes[12];
  swprintf(attributes, 12, L"%08lx", static_cast<unsigned long>(data.dwFileAttributes));
  e.extra = std::wstring(attributes) + L" " + file_time_text(data.ftCreationTime) + L" " +
            file_time_text(data.ftLastAccessTime) + L" " + file_time_text(data.ftLastWriteTime);
  return 0;
}

DWORD backup_observer::save_written(const change& c, index_entry& e) {
  const scoped_handle item = open_item(c.where);
  if (item) {
    bool folder = false;
    if (is_link_or_folder(item.get(), &folder)) return ERROR_CANT_ACCESS_FILE;
    if (const DWORD error = copy_under_path(item.get(), c.where, e)) return error;
  } else if (!gone(GetLastError())) {
    return GetLastError();
  }  // else the run makes the file: there was none before
  e.extra = numbered(L".written");
  return m_store.write_new(e.extra, c.data);
}

DWORD backup_observer::save_service(const change& c, index_entry& e) {
  const registry_view view = windows_is_64_bit() ? registry_view::view_64 : registry_view::view_32;
  return export_tree(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\" + c.where, view, &e.saved);
}

}  // namespace backup
}  // namespace replay
