#include "testing/machine_snapshot.h"

#include <windows.h>
// After windows.h, which they need.
#include <sddl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "replay/unicode/line_field.h"
#include "replay/unique_handle.h"
#include "testing/text.h"

namespace test_support {
namespace {

using item_map = std::map<std::string, std::string>;

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_text_ignoring_case(const std::string& a, size_t length, const std::string& b) {
  for (size_t i = 0; i < length; ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// ---- registry ----------------------------------------------------------------------------

std::string hex_bytes(const BYTE* data, DWORD size) {
  const DWORD shown = std::min<DWORD>(size, 64);
  std::string out = "hex:";
  char byte[4];
  for (DWORD i = 0; i < shown; ++i) {
    std::snprintf(byte, sizeof(byte), i ? ",%02x" : "%02x", data[i]);
    out += byte;
  }
  if (shown < size) {
    // Long data is summarised: its size and a checksum of all of it tell any change.
    unsigned long sum = 0;
    for (DWORD i = 0; i < size; ++i) sum = sum * 31 + data[i];
    out += ",... (" + std::to_string(size) + " bytes, sum " + std::to_string(sum) + ")";
  }
  return out;
}

// The value's data as a short text; the type is named where the text alone does not show it.
std::string value_text(DWORD type, const BYTE* data, DWORD size) {
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
  size_t units = size / sizeof(wchar_t);
  switch (type) {
    case REG_DWORD:
      if (size == sizeof(DWORD)) return std::to_string(*reinterpret_cast<const DWORD*>(data));
      break;
    case REG_QWORD:
      if (size == 8) return std::to_string(*reinterpret_cast<const ULONGLONG*>(data)) + " (qword)";
      break;
    case REG_SZ:
    case REG_EXPAND_SZ:
      while (units > 0 && text[units - 1] == L'\0') --units;
      return "\"" + utf8(std::wstring(text, units)) + "\"" +
             (type == REG_EXPAND_SZ ? " (expand)" : "");
    case REG_MULTI_SZ: {
      std::string out = "multi:";
      for (size_t i = 0; i < units; ++i)
        out += text[i] == L'\0' ? "|" : utf8(std::wstring(1, text[i]));
      return out;
    }
    default:
      break;
  }
  return "type " + std::to_string(type) + " " + hex_bytes(data, size);
}

struct registry_walk {
  REGSAM view;
  item_map* items;
  std::vector<wchar_t> name;
  std::vector<BYTE> data;

  void record_values(HKEY key, const std::string& label, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
      DWORD name_length = static_cast<DWORD>(name.size());
      DWORD size = static_cast<DWORD>(data.size());
      DWORD type = 0;
      const LONG result =
          RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, data.data(), &size);
      if (result == ERROR_MORE_DATA) {
        data.resize(size + 2);
        name.resize(std::max<size_t>(name.size() * 2, 32768));
        --i;
        continue;
      }
      if (result != ERROR_SUCCESS) break;
      (*items)["value " + label + " [" + utf8(std::wstring(name.data(), name_length)) + "]"] =
          value_text(type, data.data(), size);
    }
  }

  std::vector<std::wstring> subkeys(HKEY key, DWORD count) {
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < count; ++i) {
      DWORD length = static_cast<DWORD>(name.size());
      if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      names.emplace_back(name.data(), length);
    }
    return names;
  }

  void walk(HKEY key, const std::string& label) {
    (*items)["key " + label] = "present";
    DWORD subkey_count = 0, value_count = 0, max_value_name = 0, max_data = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkey_count, nullptr, nullptr,
                         &value_count, &max_value_name, &max_data, nullptr,
                         nullptr) != ERROR_SUCCESS) {
      (*items)["key " + label] = "present (unreadable)";
      return;
    }
    if (name.size() < max_value_name + 1) name.resize(max_value_name + 1);
    if (data.size() < max_data + 2) data.resize(max_data + 2);
    record_values(key, label, value_count);
    for (const std::wstring& child : subkeys(key, subkey_count)) {
      replay::unique_hkey opened;
      const std::string child_label = label + "\\" + utf8(child);
      if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ | view, opened.receive()) !=
          ERROR_SUCCESS) {
        (*items)["key " + child_label] = "present (cannot be opened)";
        continue;
      }
      walk(opened.get(), child_label);
    }
  }
};

void record_hive(HKEY root, const wchar_t* path, REGSAM view, const std::string& label,
                 item_map& items) {
  replay::unique_hkey key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, key.receive()) != ERROR_SUCCESS) {
    throw std::runtime_error("machine snapshot: cannot open " + label);
  }
  registry_walk walk{view, &items, std::vector<wchar_t>(256), std::vector<BYTE>(1024)};
  walk.walk(key.get(), label);
}

// The string form of the current user's SID, which names the user's hive below HKEY_USERS.
std::wstring current_user_sid() {
  replay::scoped_token token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return {};
  BYTE buffer[256];
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  const std::wstring sid = text;
  LocalFree(text);
  return sid;
}

void record_registry(item_map& items) {
  record_hive(HKEY_LOCAL_MACHINE, nullptr, KEY_WOW64_64KEY, "HKLM", items);
  record_hive(HKEY_CURRENT_USER, nullptr, KEY_WOW64_64KEY, "HKCU", items);
  // The other hives below HKEY_USERS; the current user's is recorded as HKCU above.
  replay::unique_hkey users;
  if (RegOpenKeyExW(HKEY_USERS, nullptr, 0, KEY_READ, users.receive()) != ERROR_SUCCESS) {
    throw std::runtime_error("machine snapshot: cannot open HKU");
  }
  const std::wstring own = current_user_sid();
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(users.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (lstrcmpiW(name, own.c_str()) == 0) continue;
    record_hive(users.get(), name, KEY_WOW64_64KEY, "HKU\\" + utf8(std::wstring(name, length)),
                items);
  }
}

// ---- files -------------------------------------------------------------------------------

std::string file_state(const WIN32_FIND_DATAW& data) {
  char attributes[16];
  std::snprintf(attributes, sizeof(attributes), "0x%lx",
                static_cast<unsigned long>(data.dwFileAttributes));
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return "link";
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "folder";
  const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return std::to_string(size) + " bytes, attributes " + attributes;
}

void record_folder(const std::wstring& folder, item_map& items) {
  WIN32_FIND_DATAW data;
  replay::find_handle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                            FindExSearchNameMatch, nullptr,
                                            FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return;
  std::vector<std::wstring> folders;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const std::string state = file_state(data);
    items["file " + utf8(path)] = state;
    if (state == "folder") folders.push_back(path);
  } while (FindNextFileW(find.get(), &data));
  find.reset();
  for (const std::wstring& path : folders) record_folder(path, items);
}

void record_files(item_map& items) {
  if (GetFileAttributesW(L"C:\\") == INVALID_FILE_ATTRIBUTES) {
    throw std::runtime_error("machine snapshot: drive C: cannot be read");
  }
  record_folder(L"C:", items);
}

// ---- services and processes --------------------------------------------------------------

const char* service_state_text(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED:
      return "stopped";
    case SERVICE_START_PENDING:
      return "start pending";
    case SERVICE_STOP_PENDING:
      return "stop pending";
    case SERVICE_RUNNING:
      return "running";
    case SERVICE_CONTINUE_PENDING:
      return "continue pending";
    case SERVICE_PAUSE_PENDING:
      return "pause pending";
    case SERVICE_PAUSED:
      return "paused";
    default:
      return "unknown state";
  }
}

void record_services(item_map& items) {
  replay::scoped_service_handle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) throw std::runtime_error("machine snapshot: no service manager");
  std::vector<BYTE> buffer(64 * 1024);
  DWORD resume = 0;
  for (;;) {
    DWORD needed = 0, returned = 0;
    const BOOL done = EnumServicesStatusExW(
        manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL, SERVICE_STATE_ALL, buffer.data(),
        static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr);
    if (!done && GetLastError() != ERROR_MORE_DATA) {
      throw std::runtime_error("machine snapshot: services cannot be listed");
    }
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
      items["service " + utf8(services[i].lpServiceName)] =
          service_state_text(services[i].ServiceStatusProcess.dwCurrentState);
    }
    if (done) break;
    if (returned == 0) buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
  }
}

void record_processes(item_map& items) {
  replay::scoped_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) throw std::runtime_error("machine snapshot: processes cannot be listed");
  std::map<std::string, int> running;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    std::string name = utf8(entry.szExeFile);
    std::transform(name.begin(), name.end(), name.begin(), lower);
    ++running[name];
  }
  for (const auto& process : running) {
    items["process " + process.first] = std::to_string(process.second) + " running";
  }
}

}  // namespace

void save_snapshot(const machine_snapshot& snapshot, const std::wstring& path) {
  std::ofstream out(path.c_str(), std::ios::binary);
  for (const auto& item : snapshot.items) {
    out << replay::escaped_field(item.first) << '\t' << replay::escaped_field(item.second) << '\n';
  }
  if (!out.flush()) throw std::runtime_error("machine snapshot: cannot write " + utf8(path));
}

machine_snapshot load_snapshot(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) throw std::runtime_error("machine snapshot: cannot read " + utf8(path));
  machine_snapshot snapshot;
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) throw std::runtime_error("machine snapshot: bad line " + line);
    snapshot.items[replay::unescaped_field(line.substr(0, tab))] =
        replay::unescaped_field(line.substr(tab + 1));
  }
  return snapshot;
}

std::string machine_change::text() const {
  return item + ": " + before + " -> " + after;
}

machine_snapshot take_machine_snapshot() {
  machine_snapshot snapshot;
  const DWORD start = GetTickCount();
  record_registry(snapshot.items);
  const DWORD registry = GetTickCount();
  record_files(snapshot.items);
  const DWORD files = GetTickCount();
  record_services(snapshot.items);
  record_processes(snapshot.items);
  snapshot.timing = "registry " + std::to_string(registry - start) + " ms, files " +
                    std::to_string(files - registry) + " ms, services and processes " +
                    std::to_string(GetTickCount() - files) + " ms";
  return snapshot;
}

std::vector<machine_change> compare(const machine_snapshot& before, const machine_snapshot& after) {
  static const std::string absent = "absent";
  std::vector<machine_change> changes;
  auto b = before.items.begin();
  auto a = after.items.begin();
  while (b != before.items.end() || a != after.items.end()) {
    if (a == after.items.end() || (b != before.items.end() && b->first < a->first)) {
      changes.push_back({b->first, b->second, absent});
      ++b;
    } else if (b == before.items.end() || a->first < b->first) {
      changes.push_back({a->first, absent, a->second});
      ++a;
    } else {
      if (a->second != b->second) changes.push_back({a->first, b->second, a->second});
      ++a;
      ++b;
    }
  }
  return changes;
}

std::vector<machine_change> unexpected_changes(
    const std::vector<machine_change>& changes,
    const std::function<bool(const machine_change&)>& expected) {
  std::vector<machine_change> unexpected;
  for (const machine_change& change : changes) {
    if (!expected(change)) unexpected.push_back(change);
  }
  return unexpected;
}

bool item_within(const std::string& item, const std::string& path) {
  const size_t start = item.find(' ');
  if (start == std::string::npos) return false;
  const std::string name = item.substr(start + 1);
  if (name.size() < path.size() || !same_text_ignoring_case(name, path.size(), path)) {
    return false;
  }
  if (name.size() == path.size()) return true;
  // Below it, or one of its values ("... [name]").
  return name[path.size()] == '\\' || name.compare(path.size(), 2, " [") == 0;
}

}  // namespace test_support
