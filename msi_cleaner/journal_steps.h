// The steps both variants of the installer cleaning pass take around their journal.
#pragma once

#include "msi_cleaner/installer_cleaner.h"

// Before anything is deleted: joins the journal of a run that was cut off with the product codes
// and key files this run found (a key file's counter as found now, unless the journal holds it
// from before that run changed anything), puts the product codes into the cleaner and writes
// the journal. A journal that cannot be written leaves the pass going on from memory.
void begin_journal(installer_cleaner& cleaner, const replay::registry2::name_set& found_key_files);

// The key-file step: one reference less on each journaled counter, dropping each from the
// journal once done; then the journal is deleted, as the pass has run to its end.
void finish_journal(installer_cleaner& cleaner);
