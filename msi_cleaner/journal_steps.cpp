#include "msi_cleaner/journal_steps.h"

#include "replay/log/log_exception.h"

void begin_journal(installer_cleaner& cleaner, const replay::registry2::name_set& found_key_files) {
  pass_journal& journal = cleaner.journal;
  journal.product_codes.insert(cleaner.product_codes.begin(), cleaner.product_codes.end());
  cleaner.product_codes = journal.product_codes;
  for (const auto& found : read_key_file_counters(found_key_files)) {
    journal.key_files.insert(found);  // an entry of the journal keeps its count from before
  }
  if (cleaner.journal_key.empty()) return;
  if (journal.product_codes.empty() && journal.key_files.empty()) return;
  try {
    write_pass_journal(cleaner.journal_key, journal);
  } catch (...) {
    replay::log_exception("write_pass_journal()");
  }
}

void finish_journal(installer_cleaner& cleaner) {
  const std::wstring& journal_key = cleaner.journal_key;
  decrement_key_file_counters(cleaner.journal.key_files, [&](const std::wstring& key_file) {
    if (!journal_key.empty()) forget_journal_key_file(journal_key, key_file);
  });
  if (!journal_key.empty()) delete_pass_journal(journal_key);
}
