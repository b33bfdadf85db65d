#include "toolkit/toolkit31x_fixture_test_util.h"

#include <windows.h>

#include <shlobj.h>

#include <stdexcept>

#include "config/config_storage.h"
#include "replay/unique_handle.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/registry_seed.h"

namespace toolkit_fixture {

using replay::scoped_service_handle;
using replay::unique_hkey;

const wchar_t kVendor[] = L"Ravelins";
const wchar_t kServiceName[] = L"Suite Service";
const wchar_t kServiceExe[] = L"RavelinSuiteService.exe";
const wchar_t kComponentSid[] = L"S-1-5-21-7070-8080-9090-1001";

namespace {

const wchar_t kUserData[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kOtherProfile[] = L"tk_other_user";

std::wstring folder_of(int csidl) {
  const std::wstring path = test_support::shell_folder(csidl);
  if (path.empty()) throw std::runtime_error("SHGetFolderPathW failed");
  return path + L"\\";
}

// The installer store lives in the 64-bit view on 64-bit Windows (ignored on 32-bit Windows).
unique_hkey open_hklm(const std::wstring& path, REGSAM view) {
  unique_hkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.receive()) !=
      ERROR_SUCCESS) {
    key.release();
  }
  return key;
}

std::wstring sid_components() {
  return std::wstring(kUserData) + L"\\" + kComponentSid + L"\\Components";
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

void check(bool written, const char* what) {
  if (!written) throw std::runtime_error(std::string("cannot write ") + what);
}

}  // namespace

std::wstring program_files() {
  return folder_of(CSIDL_PROGRAM_FILES);
}
std::wstring common_appdata() {
  return folder_of(CSIDL_COMMON_APPDATA);
}
std::wstring appdata() {
  return folder_of(CSIDL_APPDATA);
}

// Another user's profile folder beside the current user's.
std::wstring other_profile() {
  return test_support::profiles_folder() + L"\\" + kOtherProfile;
}

std::wstring other_profile_suite_folder() {
  return other_profile() + L"\\AppData\\Roaming\\Ravelins\\Suite";
}

void write_products(const std::wstring& path, const std::vector<product>& products) {
  config::products_impl record;
  for (const auto& [code, name] : products) {
    record.m_products.push_back({code, name, L"C:\\Program Files\\Ravelins\\" + name});
  }
  config::config_storage::save(path, record);
}

std::vector<product> read_products(const std::wstring& path) {
  config::products_impl record;
  config::config_storage::load(path, record);
  std::vector<product> products;
  for (const auto& entry : record.m_products) {
    products.emplace_back(entry.m_product_id, entry.m_product_name);
  }
  return products;
}

void seed_components(const std::map<std::wstring, std::wstring>& components) {
  for (const auto& [code, key_path] : components) {
    check(test_support::set_string(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY,
                                   sid_components() + L"\\" + code,
                                   L"00000000000000000000000000000ABC", key_path),
          "a component key");
  }
}

std::map<std::wstring, std::wstring> components() {
  std::map<std::wstring, std::wstring> found;
  unique_hkey parent = open_hklm(sid_components(), KEY_WOW64_64KEY);
  if (!parent) return found;
  wchar_t name[260];
  for (DWORD i = 0; RegEnumKeyW(parent.get(), i, name, 260) == ERROR_SUCCESS; ++i) {
    wchar_t value[260];
    wchar_t data[300];
    DWORD value_size = 260;
    DWORD data_size = sizeof(data);
    unique_hkey component = open_hklm(sid_components() + L"\\" + name, KEY_WOW64_64KEY);
    if (component && RegEnumValueW(component.get(), 0, value, &value_size, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(data), &data_size) == ERROR_SUCCESS) {
      found[name] = data;
    } else {
      found[name] = L"";
    }
  }
  return found;
}

void set_counter(REGSAM view, const std::wstring& name, DWORD count) {
  check(test_support::set_dword(HKEY_LOCAL_MACHINE, view, kSharedDlls, name, count),
        "a SharedDLLs counter");
}

void set_text_counter(REGSAM view, const std::wstring& name, const std::wstring& text) {
  check(test_support::set_string(HKEY_LOCAL_MACHINE, view, kSharedDlls, name, text),
        "a SharedDLLs counter");
}

std::map<std::wstring, DWORD> counters(REGSAM view) {
  std::map<std::wstring, DWORD> found;
  unique_hkey shared = open_hklm(kSharedDlls, view);
  if (!shared) return found;
  wchar_t name[MAX_PATH * 2];
  for (DWORD i = 0;; ++i) {
    DWORD name_size = MAX_PATH * 2;
    DWORD type = 0;
    DWORD data = 0;
    DWORD data_size = sizeof(data);
    LONG result = RegEnumValueW(shared.get(), i, name, &name_size, nullptr, &type,
                                reinterpret_cast<BYTE*>(&data), &data_size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (lower(name).find(L"ravelins") != std::wstring::npos) found[name] = data;
  }
  return found;
}

void create_suite_service(const std::wstring& program) {
  const scoped_service_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) throw std::runtime_error("OpenSCManagerW failed");
  const scoped_service_handle service(
      CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                     program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) {
    const DWORD error = GetLastError();
    throw std::runtime_error("CreateServiceW failed: " + std::to_string(error));
  }
}

bool suite_service_exists() {
  const scoped_service_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return true;
  const scoped_service_handle service(
      OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
  return service || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

namespace {

void delete_suite_service() {
  const scoped_service_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  const scoped_service_handle service(OpenServiceW(manager.get(), kServiceName, DELETE));
  if (service) DeleteService(service.get());
}

void delete_counters(REGSAM view) {
  for (const auto& counter : counters(view)) {
    test_support::delete_value(HKEY_LOCAL_MACHINE, view, kSharedDlls, counter.first);
  }
}

}  // namespace

void remove_all() {
  test_support::remove_forced(program_files() + kVendor);
  test_support::remove_forced(common_appdata() + kVendor);
  test_support::remove_forced(appdata() + kVendor);
  test_support::remove_forced(other_profile());
  delete_counters(KEY_WOW64_32KEY);
  delete_counters(KEY_WOW64_64KEY);
  test_support::delete_tree(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY,
                            std::wstring(kUserData) + L"\\" + kComponentSid);
  delete_suite_service();
}

}  // namespace toolkit_fixture
