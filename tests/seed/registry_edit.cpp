#include "tests/seed/registry_edit.h"

#include <stdexcept>
#include <vector>

#include "replay/unique_handle.h"

namespace seed {
namespace {

class opened_key {
 public:
  opened_key(HKEY root, view v, const std::wstring& path, bool create) {
    LONG result = create ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | v,
                                           nullptr, m_key.receive(), nullptr)
                         : RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | v, m_key.receive());
    if (result != ERROR_SUCCESS) m_key.release();  // the slot holds no handle after a failure
    if (create && !m_key) {
      throw std::runtime_error("cannot create key " + narrow(path) + " (" + std::to_string(result) +
                               ")");
    }
  }
  HKEY get() const { return m_key.get(); }

 private:
  replay::unique_hkey m_key;
};

void check(LONG result, const std::wstring& what) {
  if (result != ERROR_SUCCESS) {
    throw std::runtime_error("cannot write " + narrow(what) + " (" + std::to_string(result) + ")");
  }
}

}  // namespace

std::wstring packed_guid(const std::wstring& guid) {
  std::wstring d;
  for (wchar_t c : guid) {
    if (iswxdigit(c)) d += static_cast<wchar_t>(towupper(c));
  }
  std::wstring out(d.rbegin() + 24, d.rend());
  out.append(d.rbegin() + 20, d.rbegin() + 24);
  out.append(d.rbegin() + 16, d.rbegin() + 20);
  for (size_t i = 16; i < 32; i += 2) {
    out += d[i + 1];
    out += d[i];
  }
  return out;
}

std::string narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr,
                      nullptr);
  return out;
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

void create_key(HKEY root, view v, const std::wstring& path) {
  opened_key key(root, v, path, true);
}

void set_string(HKEY root, view v, const std::wstring& path, const std::wstring& name,
                const std::wstring& value) {
  opened_key key(root, v, path, true);
  check(RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
        path + L"\\" + name);
}

void set_dword(HKEY root, view v, const std::wstring& path, const std::wstring& name, DWORD value) {
  opened_key key(root, v, path, true);
  check(RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value)),
        path + L"\\" + name);
}

bool key_exists(HKEY root, view v, const std::wstring& path) {
  return opened_key(root, v, path, false).get() != nullptr;
}

std::string value_state(HKEY root, view v, const std::wstring& path, const std::wstring& name) {
  opened_key key(root, v, path, false);
  if (!key.get()) return "absent";
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return "absent";
  }
  std::vector<BYTE> data(size + sizeof(wchar_t), 0);
  RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(), &size);
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    return std::to_string(*reinterpret_cast<DWORD*>(data.data()));
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    return "\"" + narrow(reinterpret_cast<const wchar_t*>(data.data())) + "\"";
  }
  return "type " + std::to_string(type);
}

void delete_tree(HKEY root, view v, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | v, &key) != ERROR_SUCCESS) return;
  for (;;) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    std::wstring child = path + L"\\" + name;
    delete_tree(root, v, child);
    if (key_exists(root, v, child)) break;  // could not remove it: stop rather than loop
  }
  RegCloseKey(key);
  RegDeleteKeyExW(root, path.c_str(), v, 0);
}

}  // namespace seed
