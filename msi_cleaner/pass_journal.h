// The journal of an installer cleaning pass. The pass finds everything it will remove from one
// upgrade code, which it deletes first; a run cut off after that could no longer find the
// products, components and key files that are left. So before it deletes anything the pass
// writes down the product codes and the key files' counters it found, and a later run reads
// them back before it searches, joins them with what it finds and completes the work. The
// journal is deleted when the pass has run to its end.
//
// It lives in a key below HKEY_LOCAL_MACHINE\SOFTWARE, which only administrators can write. Each
// entry is one registry value, written whole or not at all. What is read back is still checked
// as anything read from the machine: only packed GUIDs count as product codes and only full
// paths with a REG_DWORD count as key files; anything else is passed over.
//
// The journal is the run's own bookkeeping, like its log: its writes are no changes the run
// reports or backs up, so they go past the change layer (replay/change). A report-only run
// reads a journal left by a run that was cut off, since the real run would finish that work,
// but never writes, changes or deletes it.
#pragma once

#include <string>

#include "msi_cleaner/key_files.h"
#include "replay/registry2/key.h"

struct pass_journal {
  replay::registry2::name_set product_codes;
  key_file_counters key_files;
  // What the products leave beside their registrations (installer_leftovers.h): the packed codes
  // of the patches applied to them, and the full paths their registrations name as the cached
  // package (.msi) and the cached patches (.msp), read before those registrations go.
  replay::registry2::name_set patch_codes;
  replay::registry2::name_set cached_files;
};

// The journal below HKEY_LOCAL_MACHINE at `path`; empty when there is none or it cannot be read.
pass_journal read_pass_journal(const std::wstring& path);

// Writes every entry of `journal` into the journal at `path`. Throws the registry's errors.
// This and the two below do nothing in a report-only run.
void write_pass_journal(const std::wstring& path, const pass_journal& journal);

// Drops the entry of one key file whose counter needs no more work; failures are ignored.
void forget_journal_key_file(const std::wstring& path, const std::wstring& key_file);

// Deletes the journal at `path` with all it holds; a journal that is not there is fine.
void delete_pass_journal(const std::wstring& path);
