// The restore of keys, values and service registrations.
#include <windows.h>

#include "backup/key_place.h"
#include "backup/reg_file.h"
#include "backup/restore_items.h"
#include "replay/unique_handle.h"

namespace replay {
namespace backup {
namespace {

struct current_value {
  bool absent = true;
  DWORD type = REG_NONE;
  std::string data;
};

bool same(const current_value& now, const reg_value& saved) {
  if (now.absent || saved.absent) return now.absent == saved.absent;
  return now.type == saved.type && now.data == saved.data;
}

current_value read_current(HKEY key, const std::wstring& name) {
  current_value v;
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) {
    return v;
  }
  v.data.assign(size, '\0');
  if (RegQueryValueExW(key, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(&v.data[0]),
                       &size) == ERROR_SUCCESS) {
    v.absent = false;
    v.data.resize(size);
  }
  return v;
}

LONG write_value(HKEY key, const reg_value& v) {
  if (v.absent) return RegDeleteValueW(key, v.name.c_str());
  return RegSetValueExW(key, v.name.c_str(), 0, v.type,
                        reinterpret_cast<const BYTE*>(v.data.data()),
                        static_cast<DWORD>(v.data.size()));
}

// Opens the key `name` (a long name as registry files give it), made when `create` and
// missing; `made` tells whether it was.
LONG open_key(const std::wstring& name, bool create, unique_hkey* key, bool* made) {
  std::wstring path;
  const HKEY root = root_of(name, &path);
  if (root == nullptr || path.empty()) return ERROR_INVALID_NAME;
  const REGSAM access = KEY_READ | KEY_SET_VALUE | physical_view();
  *made = false;
  const LONG code = RegOpenKeyExW(root, path.c_str(), 0, access, key->receive());
  if (code != ERROR_FILE_NOT_FOUND || !create) return code;
  DWORD disposition = 0;
  const LONG created = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       access, nullptr, key->receive(), &disposition);
  *made = created == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return created;
}

item_result failed(LONG code) {
  return {outcome::conflict, L"error " + std::to_wstring(code)};
}

// Puts the saved key back: made when missing, each saved value set where it is missing. A
// value that holds other data now is kept.
item_result put_back_key(const reg_key& saved) {
  unique_hkey key;
  bool made = false;
  if (const LONG code = open_key(saved.name, true, &key, &made)) return failed(code);
  item_result result{made ? outcome::restored : outcome::present, L""};
  for (const reg_value& v : saved.values) {
    const current_value now = read_current(key.get(), v.name);
    if (same(now, v)) continue;
    if (!now.absent) {
      result.result = outcome::conflict;
      result.why += (result.why.empty() ? L"" : L", ") + (L"value [" + v.name + L"] differs");
      continue;
    }
    if (const LONG code = write_value(key.get(), v)) return failed(code);
    if (result.result == outcome::present) result.result = outcome::restored;
  }
  return result;
}

bool read_keys(const backup_reader& backup, const std::wstring& file, std::vector<reg_key>* keys) {
  std::string bytes;
  if (!backup.read(file, &bytes)) return false;
  *keys = parse_reg_file(bytes);
  return true;
}

// The one value a value's registry file holds.
bool read_one_value(const backup_reader& backup, const std::wstring& file, reg_key* key) {
  std::vector<reg_key> keys;
  if (!read_keys(backup, file, &keys) || keys.size() != 1 || keys[0].values.size() != 1) {
    return false;
  }
  *key = keys[0];
  return true;
}

}  // namespace

item_result restore_key(const backup_reader& backup, const index_entry& e) {
  std::vector<reg_key> keys;
  if (!read_keys(backup, e.saved, &keys)) return {outcome::missing, L"its backup file is missing"};
  const reg_key* saved = find_reg_key(keys, long_key_name(e.where));
  if (saved == nullptr) return {outcome::missing, L"the key is not in its backup file"};
  return put_back_key(*saved);
}

item_result restore_service(const backup_reader& backup, const index_entry& e) {
  std::vector<reg_key> keys;
  if (!read_keys(backup, e.saved, &keys) || keys.empty()) {
    return {outcome::missing, L"its backup file is missing"};
  }
  item_result all{outcome::present, L""};
  for (const reg_key& key : keys) {
    const item_result one = put_back_key(key);
    if (one.result == outcome::conflict) all = one;
    if (one.result == outcome::restored && all.result == outcome::present) all = one;
  }
  if (all.result == outcome::restored) {
    all.why = L"the service manager sees the registration at the next restart";
  }
  return all;
}

item_result restore_value(const backup_reader& backup, const index_entry& e) {
  reg_key old;
  if (!read_one_value(backup, e.saved, &old))
    return {outcome::missing, L"its backup file is missing"};
  const reg_value& before = old.values[0];
  reg_key after;
  const bool was_set = e.kind == change_kind::set_value;
  if (was_set && !read_one_value(backup, e.extra, &after)) {
    return {outcome::missing, L"its backup file is missing"};
  }
  unique_hkey key;
  bool made = false;
  const LONG code = open_key(old.name, !before.absent, &key, &made);
  if (code == ERROR_FILE_NOT_FOUND && before.absent) return {outcome::present, L""};
  if (code != ERROR_SUCCESS) return failed(code);
  const current_value now = read_current(key.get(), before.name);
  if (same(now, before)) return {outcome::present, L""};
  const bool run_left_it = was_set ? same(now, after.values[0]) : now.absent;
  if (!run_left_it && !now.absent) return {outcome::conflict, L"the value holds other data now"};
  if (const LONG written = write_value(key.get(), before)) return failed(written);
  return {outcome::restored, L""};
}

}  // namespace backup
}  // namespace replay
