// Test support for the framework remover: a seeded framework installation in the prefix (its
// registration list, install and data folders, installer components, SharedDLLs counters, the
// suite service and its program) and the means to look at what is left of it. Files, folders and
// registry values themselves are written with the shared test support (testing/).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace toolkit_fixture {

// Code and folder name of one registered product.
using product = std::pair<std::wstring, std::wstring>;

extern const wchar_t kVendor[];        // L"Ravelins"
extern const wchar_t kServiceName[];   // L"Suite Service"
extern const wchar_t kServiceExe[];    // L"RavelinSuiteService.exe"
extern const wchar_t kComponentSid[];  // a user SID of the tests' own

std::wstring program_files();               // Program Files of this (32-bit) program, ending in "\"
std::wstring common_appdata();              // ending in "\"
std::wstring appdata();                     // ending in "\"
std::wstring other_profile();               // another user's profile folder (no "\" at the end)
std::wstring other_profile_suite_folder();  // its AppData\Roaming\Ravelins\Suite

// product.cfg through the configuration layer's own storage code.
void write_products(const std::wstring& path, const std::vector<product>& products);
std::vector<product> read_products(const std::wstring& path);

// Installer component registrations (64-bit view under WOW64) of kComponentSid, by packed
// component code -> key path.
void seed_components(const std::map<std::wstring, std::wstring>& components);
std::map<std::wstring, std::wstring> components();

// SharedDLLs counters in the view that `view` (KEY_WOW64_32KEY or KEY_WOW64_64KEY) selects.
void set_counter(REGSAM view, const std::wstring& name, DWORD count);
// A counter stored as REG_SZ, as a damaged installation may leave it.
void set_text_counter(REGSAM view, const std::wstring& name, const std::wstring& text);
// The counters whose names contain "Ravelins" (any case), name -> count.
std::map<std::wstring, DWORD> counters(REGSAM view);

// The framework's service, registered (not started) with the program in the install folder.
void create_suite_service(const std::wstring& program);
bool suite_service_exists();

// Everything the fixture seeds, removed.
void remove_all();

}  // namespace toolkit_fixture
