// The last clean-up step: removes an upgrade code, the products listed under it, the components
// only those products use and one SharedDlls reference of each of their key files from the
// Windows Installer stores. Everything else is found from the upgrade code.
//
//   installer_cleaner cleaner;
//   if (is_wow64_process()) {
//     clean_installer_database_wow64(cleaner, L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}");
//   } else {
//     clean_installer_database_native(cleaner, L"{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}");
//   }
#pragma once

#include <string>

#include "msi_cleaner/installer_cleaner.h"

// The pass in the process's own registry view. `upgrade_code` is in GUID text form. Takes an
// empty cleaner; never throws.
void clean_installer_database_native(installer_cleaner& cleaner, const std::wstring& upgrade_code);

// The pass in the 64-bit registry view, for a 32-bit process under WOW64. Needs the bound
// RegDeleteKeyExW (reg_delete_key_ex.h): without it the pass logs an error and cleans nothing.
// Releases that binding at its end in every case. Takes an empty cleaner; never throws.
void clean_installer_database_wow64(installer_cleaner& cleaner, const std::wstring& upgrade_code);
