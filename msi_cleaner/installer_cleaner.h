// The state of one cleaning pass over the Windows Installer stores: the numbered root and
// installer stores and the sets of codes and files found. One object per run, created empty just
// before the pass and destroyed right after it.
#pragma once

#include "msi_cleaner/installer_stores.h"
#include "msi_cleaner/pass_journal.h"
#include "replay/registry2/key.h"

struct installer_cleaner {
  // Numbers root stores 1..n and installer stores n+1 onwards.
  int counter = 0;

  // Native variant: stores held as open keys.
  key_stores root_keys;
  key_stores store_keys;

  // WOW64 variant: stores held as path texts in the 64-bit view.
  path_stores root_paths;
  path_stores store_paths;

  // Packed GUIDs, and key-file paths, in UTF-16 code-unit order.
  replay::registry2::name_set upgrade_codes;
  replay::registry2::name_set product_codes;
  replay::registry2::name_set key_files;

  // Where the pass keeps its journal (pass_journal.h), below HKEY_LOCAL_MACHINE; empty: the
  // journal is kept in memory only.
  std::wstring journal_key;
  // The product codes and the key files' counters to work on, as found before anything was
  // deleted (by this run, or by a run that was cut off).
  pass_journal journal;
};
