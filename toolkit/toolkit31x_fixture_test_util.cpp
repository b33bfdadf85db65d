#include "toolkit/toolkit31x_fixture_test_util.h"

#include <windows.h>

#include <shlobj.h>

#include <boost/filesystem.hpp>
#include <fstream>
#include <stdexcept>

#include "config/config_storage.h"
#include "replay/unique_handle.h"

namespace toolkit_fixture {

namespace fs = boost::filesystem;
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

std::wstring shell_folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) {
    throw std::runtime_error("SHGetFolderPathW failed");
  }
  return std::wstring(path) + L"\\";
}

void check(LONG result, const char* what) {
  if (result != ERROR_SUCCESS)
    throw std::runtime_error(what + (" failed: " + std::to_string(result)));
}

// The installer store lives in the 64-bit view on 64-bit Windows (ignored on 32-bit Windows).
unique_hkey open_hklm(const std::wstring& path, REGSAM view, bool create) {
  unique_hkey key;
  const REGSAM access = KEY_ALL_ACCESS | view;
  LONG result = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access,
                                         nullptr, key.receive(), nullptr)
                       : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.receive());
  if (result != ERROR_SUCCESS) key.reset();
  return key;
}

std::wstring sid_components() {
  return std::wstring(kUserData) + L"\\" + kComponentSid + L"\\Components";
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

}  // namespace

std::wstring program_files() {
  return shell_folder(CSIDL_PROGRAM_FILES);
}
std::wstring common_appdata() {
  return shell_folder(CSIDL_COMMON_APPDATA);
}
std::wstring appdata() {
  return shell_folder(CSIDL_APPDATA);
}

// Another user's profile folder beside the current user's.
std::wstring other_profile() {
  fs::path profiles = fs::path(shell_folder(CSIDL_PROFILE)).parent_path().parent_path();
  return (profiles / kOtherProfile).wstring();
}

std::wstring other_profile_suite_folder() {
  return other_profile() + L"\\AppData\\Roaming\\Ravelins\\Suite";
}

void make_file(const std::wstring& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream file(fs::path(path).string(), std::ios::binary);
  file << content;
  if (!file) throw std::runtime_error("cannot write a seeded file");
}

void make_parent_folder(const std::wstring& path) {
  fs::create_directories(fs::path(path).parent_path());
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> files_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  if (!fs::is_directory(folder)) return names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (fs::is_regular_file(entry.status())) names.push_back(entry.path().filename().wstring());
  }
  return names;
}

void remove_tree_if_present(const std::wstring& path) {
  boost::system::error_code ignored;
  fs::remove_all(path, ignored);
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
    unique_hkey component = open_hklm(sid_components() + L"\\" + code, KEY_WOW64_64KEY, true);
    if (!component) throw std::runtime_error("cannot create a component key");
    const std::wstring product = L"00000000000000000000000000000ABC";
    check(RegSetValueExW(component.get(), product.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(key_path.c_str()),
                         static_cast<DWORD>((key_path.size() + 1) * sizeof(wchar_t))),
          "RegSetValueExW");
  }
}

std::map<std::wstring, std::wstring> components() {
  std::map<std::wstring, std::wstring> found;
  unique_hkey parent = open_hklm(sid_components(), KEY_WOW64_64KEY, false);
  if (!parent) return found;
  wchar_t name[260];
  for (DWORD i = 0; RegEnumKeyW(parent.get(), i, name, 260) == ERROR_SUCCESS; ++i) {
    wchar_t value[260];
    wchar_t data[300];
    DWORD value_size = 260;
    DWORD data_size = sizeof(data);
    unique_hkey component = open_hklm(sid_components() + L"\\" + name, KEY_WOW64_64KEY, false);
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
  unique_hkey shared = open_hklm(kSharedDlls, view, true);
  if (!shared) throw std::runtime_error("cannot open SharedDLLs");
  check(RegSetValueExW(shared.get(), name.c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&count), sizeof(count)),
        "RegSetValueExW");
}

void set_text_counter(REGSAM view, const std::wstring& name, const std::wstring& text) {
  unique_hkey shared = open_hklm(kSharedDlls, view, true);
  if (!shared) throw std::runtime_error("cannot open SharedDLLs");
  check(RegSetValueExW(shared.get(), name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
        "RegSetValueExW");
}

std::map<std::wstring, DWORD> counters(REGSAM view) {
  std::map<std::wstring, DWORD> found;
  unique_hkey shared = open_hklm(kSharedDlls, view, false);
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
  unique_hkey shared = open_hklm(kSharedDlls, view, false);
  if (!shared) return;
  for (const auto& counter : counters(view)) RegDeleteValueW(shared.get(), counter.first.c_str());
}

void delete_component_sid() {
  unique_hkey user_data = open_hklm(kUserData, KEY_WOW64_64KEY, false);
  if (user_data) RegDeleteTreeW(user_data.get(), kComponentSid);
}

}  // namespace

void remove_all() {
  remove_tree_if_present(program_files() + kVendor);
  remove_tree_if_present(common_appdata() + kVendor);
  remove_tree_if_present(appdata() + kVendor);
  remove_tree_if_present(other_profile());
  delete_counters(KEY_WOW64_32KEY);
  delete_counters(KEY_WOW64_64KEY);
  delete_component_sid();
  delete_suite_service();
}

}  // namespace toolkit_fixture
