// Moving the configuration records between memory and their protected files.
//
// A write goes to the ".new" file beside the target (path + ".new"), is flushed to disk and then
// replaces the target in one replacing move, so product.cfg is never absent and never partly
// written. A ".new" file left behind by an interrupted save holds the newest state and is taken
// over by the next load.
//
// Errors: config::storage_error (a replay::exception with empty category) whose message is
//   Class "<record>". Error <stage> file: <path> (<cause>)
// with record "products" or "suite", stage "open" (opening, reading, unprotecting, the archive
// header), "parsing" (reading the record) or "writting" (any step of a save). On every failure
// the caller's record is left untouched.
//
// Telling "no file" from "unreadable file": load throws config::file_not_found (derived from
// storage_error, stage "open") only when neither the target nor its ".new" file exists. A file
// that exists but cannot be read throws a plain storage_error.
#pragma once

#include <string>

#include "config/products_impl.h"
#include "config/storage_error.h"
#include "config/suite_impl.h"

namespace config {
namespace config_storage {

// Suffix of the temporary file and of a damaged one that a load has set aside.
constexpr const wchar_t kNewSuffix[] = L".new";
constexpr const wchar_t kDamagedSuffix[] = L".new.damaged";

// Fills `record` from `path`, recovering from an interrupted save:
// - a readable ".new" file wins; it then replaces the target (a failure of that replace is
//   logged, the record is still returned, and the next load tries again);
// - a ".new" file that cannot be read is passed over: the target is read instead and, once that
//   succeeded, the damaged file is renamed to path + ".new.damaged" (logged); a ".new" name
//   that is a link (symbolic or hard) counts as unreadable and is left where it is (logged as
//   not set aside), since moving it could move the file it leads to;
// - the load fails only when neither file can be read; when the target is missing too, the
//   damaged ".new" is left where it is and its error is reported.
//
// Reads see the run's changes (replay/change): a file the run wrote, or in a report-only run
// planned to write, reads as the bytes written; one it removed (or planned to) as missing. A
// report-only run moves no file: the take-over and the setting aside are left out.
void load(const std::wstring& path, products_impl& record);
void load(const std::wstring& path, suite_impl& record);

// Writes `record` to `path` (folders created as needed) through the ".new" file. When the ".new"
// file cannot be opened for writing, logs at level 0
//   config_storage::save(). Failed to open file: <path>
// and returns without raising; `path` is unchanged. Every other failure raises storage_error
// (stage "writting") and leaves `path` as it was; only a failure of the final replace leaves the
// complete ".new" file behind for the next load.
//
// The write is one write_file change (replay/change): where = `path`, data = the bytes written,
// `detail` what the change means ("CVPRO unregistered"). A report-only run writes nothing and
// creates no folder. A failure the layer reports (an observer that refuses the write, an
// injected fault) raises storage_error "... ([failed to write file (<code>)])".
void save(const std::wstring& path, const products_impl& record,
          const std::wstring& detail = std::wstring());

}  // namespace config_storage
}  // namespace config
