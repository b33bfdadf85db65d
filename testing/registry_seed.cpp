#include "testing/registry_seed.h"

#include <sddl.h>

#include "replay/unique_handle.h"
#include "testing/text.h"

namespace test_support {
namespace {

using replay::unique_hkey;

unique_hkey open_key(HKEY root, view v, const std::wstring& path, REGSAM access, LONG* result) {
  unique_hkey key;
  *result = RegOpenKeyExW(root, path.c_str(), 0, access | v, key.receive());
  if (*result != ERROR_SUCCESS) key.release();  // the slot holds no handle after a failure
  return key;
}

unique_hkey open_key(HKEY root, view v, const std::wstring& path, REGSAM access) {
  LONG ignored = 0;
  return open_key(root, v, path, access, &ignored);
}

unique_hkey create(HKEY root, view v, const std::wstring& path) {
  unique_hkey key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | v, nullptr, key.receive(),
                      nullptr) != ERROR_SUCCESS) {
    key.release();
  }
  return key;
}

}  // namespace

registry_row key_row(HKEY root, view v, const std::wstring& path) {
  return {root, v, path, registry_row::key_only, L"", L"", 0};
}

registry_row string_row(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                        const std::wstring& value) {
  return {root, v, path, registry_row::text, name, value, 0};
}

registry_row dword_row(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                       DWORD value) {
  return {root, v, path, registry_row::number, name, L"", value};
}

bool seed_registry(const std::vector<registry_row>& rows) {
  bool all = true;
  for (const registry_row& row : rows) {
    switch (row.type) {
      case registry_row::key_only:
        all = create_key(row.root, row.v, row.path) && all;
        break;
      case registry_row::text:
        all = set_string(row.root, row.v, row.path, row.name, row.text_value) && all;
        break;
      case registry_row::number:
        all = set_dword(row.root, row.v, row.path, row.name, row.number_value) && all;
        break;
    }
  }
  return all;
}

bool create_key(HKEY root, view v, const std::wstring& path) {
  return create(root, v, path).is_valid();
}

bool set_value(HKEY root, view v, const std::wstring& path, const std::wstring& name, DWORD type,
               const void* data, DWORD size) {
  const unique_hkey key = create(root, v, path);
  return key && RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                               size) == ERROR_SUCCESS;
}

bool set_string(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                const std::wstring& value) {
  return set_value(root, v, path, name, REG_SZ, value.c_str(),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool set_dword(HKEY root, view v, const std::wstring& path, const std::wstring& name, DWORD value) {
  return set_value(root, v, path, name, REG_DWORD, &value, sizeof(value));
}

bool key_exists(HKEY root, view v, const std::wstring& path) {
  LONG result = 0;
  open_key(root, v, path, KEY_READ, &result);
  return result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED;
}

bool value_exists(HKEY root, view v, const std::wstring& path, const std::wstring& name) {
  const unique_hkey key = open_key(root, v, path, KEY_READ);
  return key && RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
}

DWORD get_dword(HKEY root, view v, const std::wstring& path, const std::wstring& name) {
  const unique_hkey key = open_key(root, v, path, KEY_READ);
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (!key || RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    return 0xFFFFFFFF;
  }
  return value;
}

std::string value_state(HKEY root, view v, const std::wstring& path, const std::wstring& name) {
  const unique_hkey key = open_key(root, v, path, KEY_READ);
  DWORD type = 0, size = 0;
  if (!key ||
      RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return "absent";
  }
  std::vector<BYTE> data(size + sizeof(wchar_t), 0);
  RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(), &size);
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    return std::to_string(*reinterpret_cast<DWORD*>(data.data()));
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    return "\"" + ansi(reinterpret_cast<const wchar_t*>(data.data())) + "\"";
  }
  return "type " + std::to_string(type);
}

void delete_value(HKEY root, view v, const std::wstring& path, const std::wstring& name) {
  const unique_hkey key = open_key(root, v, path, KEY_SET_VALUE);
  if (key) RegDeleteValueW(key.get(), name.c_str());
}

// Each key is opened by its full path in the view asked for, never relative to its parent's
// handle, so that WOW64 redirection cannot send a step into the other view.
void delete_tree(HKEY root, view v, const std::wstring& path) {
  unlock_key(root, v, path);
  {
    const unique_hkey key = open_key(root, v, path, KEY_ALL_ACCESS);
    if (!key) return;
    for (;;) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      const std::wstring child = path + L"\\" + name;
      delete_tree(root, v, child);
      if (key_exists(root, v, child)) break;  // could not remove it: stop rather than loop
    }
  }
  RegDeleteKeyExW(root, path.c_str(), v, 0);
}

bool set_dacl(HKEY root, view v, const std::wstring& path, const wchar_t* sddl) {
  const unique_hkey key = open_key(root, v, path, WRITE_DAC | READ_CONTROL);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!key || !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                    &descriptor, nullptr)) {
    return false;
  }
  const LONG result = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  return result == ERROR_SUCCESS;
}

void lock_key(HKEY root, view v, const std::wstring& path) {
  set_dacl(root, v, path, L"D:P");
}

void unlock_key(HKEY root, view v, const std::wstring& path) {
  set_dacl(root, v, path, L"D:P(A;;KA;;;WD)");
}

}  // namespace test_support
