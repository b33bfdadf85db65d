// A Windows machine with an installed Corvane suite, for the demo and the end-to-end tests:
// what the installer and the suite leave behind, and decoys that belong to others and must
// survive a clean-up. Everything here is written with the real Windows API into the machine
// (the Wine prefix) the program runs in.
#pragma once

#include <string>
#include <vector>

namespace seed {

// Fixed identities of the installed suite.
extern const wchar_t kUpgradeCode[];          // the product GUID the installer cleaner starts from
extern const wchar_t kProductCode[];          // the installed package's product code
extern const wchar_t kComponentCode[];        // a component of that package only
extern const wchar_t kSharedComponentCode[];  // a component another product uses too
extern const wchar_t kOtherProductCode[];     // another vendor's package (decoy)
extern const wchar_t kPatchCode[];            // a patch applied to the suite's package only
// Names of the cached packages in the Windows Installer folder: the suite's package and patch,
// and the other vendor's package (decoy).
extern const char kCachedPackage[];
extern const char kCachedPatch[];
extern const char kOtherCachedPackage[];

// Where things lie on this machine, as the 32-bit programs see it.
struct machine_paths {
  std::string program_files;    // ends in "\" (C:\Program Files (x86)\ under WOW64)
  std::string common_appdata;   // C:\ProgramData\ ...
  std::string appdata;          // the current user's roaming folder, ends in "\"
  std::string profiles;         // the folder holding every profile, ends in "\"
  std::string user;             // the current user's name
  std::string common_programs;  // all users' Start-menu Programs folder, no trailing "\"
  std::string programs;         // the current user's Programs folder, no trailing "\"
  std::string dizavad;          // program_files + "Ravelins\"
  std::string product_cfg;      // common_appdata + "Ravelins\Suite\product.cfg"
};
machine_paths current_machine();
// %WINDIR%\Installer\, where Windows Installer caches packages and publishes icons.
std::string installer_folder();

struct suite_options {
  // Codes registered with the Dizavad in product.cfg, in file order.
  std::vector<std::wstring> registered_products{L"CVPRO", L"TOOLKIT"};
  // Write product.cfg as bytes that no reader can decrypt.
  bool damage_product_cfg = false;
  // Start RavelinLauncher.exe, cvagent.exe and the decoy xcvus.exe.
  bool start_processes = true;
  // Register (and start) the update service cvus.exe and a decoy service.
  bool install_services = true;
  // Folder holding the test helper programs (sleeper, service, suite service stand-in).
  std::string helpers_folder;
};

// Installs the suite and the decoys. Throws std::runtime_error on a failed step.
void install_suite(const suite_options& options);

// One line per item of the suite and of the decoys, "<item>: <state>", in a fixed order, so
// that two inventories taken before and after a clean-up differ exactly where it acted.
std::vector<std::string> inventory();

// Registers a service of its own process named `name` (its display name too) whose ImagePath is
// exactly `command_line`, and starts it when asked. Throws std::runtime_error when refused.
void install_service_command_line(const std::wstring& name, const std::string& command_line,
                                  bool start);
// Stops and deletes the service; one that does not exist is fine.
void delete_service(const wchar_t* name);

// Ends the processes and removes the services that install_suite started, so a prefix can be
// seeded again.
void stop_suite_processes();

}  // namespace seed
