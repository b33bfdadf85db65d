#include "config/config_storage.h"

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>

#include <windows.h>

#include <cwchar>
#include <exception>

#include "config/archive_text.h"
#include "config/configuration_protection.h"
#include "config/file_io.h"
#include "config/protected_file.h"
#include "replay/change/change_layer.h"
#include "replay/file/plain_file.h"
#include "replay/log/log.h"
#include "replay/unique_handle.h"

namespace config {
namespace config_storage {
namespace {

constexpr char kStageOpen[] = "open";
constexpr char kStageParsing[] = "parsing";
constexpr char kStageWriting[] = "writting";  // the word the suite's logs have always carried

template <class Error>
Error storage_failure(const char* record_name, const char* stage, const std::wstring& path,
                      const std::exception& cause) {
  replay::exception text("Class \"%s\". Error %s file: %S (%s)", record_name, stage, path.c_str(),
                         cause.what());
  return Error(text.message());
}

// Reads one file into a fresh record and hands it over only when all went well. With `held`,
// the file must be a plain file; it is read through the handle left in `held`, by which it is
// then moved (a ".new" file, which replaces the target or is set aside).
// The bytes the run has written to `path` (a report-only run: planned to write); throws
// file_not_found for a file it has removed (or planned to). False: the file is as on disk.
bool read_changed_file(const std::wstring& path, std::string* bytes) {
  if (replay::changes().written_file(path, bytes)) return true;
  if (replay::changes().removed_path(path)) throw file_not_found("file not found (2)");
  return false;
}

template <class Record>
Record read_one_file(const char* record_name, const std::wstring& path,
                     replay::scoped_handle* held = nullptr) {
  const char* stage = kStageOpen;
  try {
    std::string bytes;
    if (read_changed_file(path, &bytes)) {
      // Nothing on disk is held: a planned file is never moved.
    } else if (held != nullptr) {
      *held = file_io::open_plain(path);
      bytes = file_io::read_all(held->get());
    } else {
      bytes = read_raw_file(path);
    }
    archive_reader reader(unprotect_configuration_data(bytes));
    stage = kStageParsing;
    Record record;
    reader.read(record);
    return record;
  } catch (const file_not_found& error) {
    throw storage_failure<file_not_found>(record_name, stage, path, error);
  } catch (const std::exception& error) {
    throw storage_failure<storage_error>(record_name, stage, path, error);
  }
}

// A damaged ".new" file is kept for inspection under another name, out of the next load's way.
// Only a plain file is moved (`damaged` holds it, or nothing): moving a planted link could move
// the file it leads to.
void set_aside(const replay::scoped_handle& damaged, const std::wstring& path) {
  if (replay::changes().planning()) return;  // a report-only run moves nothing
  const std::wstring aside = path.substr(0, path.size() - wcslen(kNewSuffix)) + kDamagedSuffix;
  if (!damaged.is_valid()) {
    SetLastError(replay::kNotAPlainFile);
  } else if (replay::rename_plain_file(damaged.get(), aside, true)) {
    replay::log_error(L"config_storage::load(). Unreadable file %s set aside as %s", path.c_str(),
                      aside.c_str());
    return;
  }
  replay::log_error(L"config_storage::load(). Failed to set aside unreadable file %s (%lu)",
                    path.c_str(), GetLastError());
}

// The ".new" file has been read: it becomes the target. Should that fail, the record is still
// good and the next load takes the ".new" file over again.
void take_over(const replay::scoped_handle& temporary_file, const std::wstring& temporary,
               const std::wstring& path) {
  if (replay::changes().planning()) return;  // a report-only run moves nothing
  if (replay::rename_plain_file(temporary_file.get(), path, true) &&
      FlushFileBuffers(temporary_file.get())) {
    return;
  }
  replay::log_error(L"config_storage::load(). Failed to replace %s with %s (%lu)", path.c_str(),
                    temporary.c_str(), GetLastError());
}

template <class Record>
Record load_from_target_instead(const char* record_name, const std::wstring& path,
                                const std::wstring& temporary,
                                const replay::scoped_handle& temporary_file,
                                const storage_error& new_error) {
  try {
    Record record = read_one_file<Record>(record_name, path);
    set_aside(temporary_file, temporary);
    return record;
  } catch (const file_not_found&) {
    throw new_error;  // the damaged ".new" is all there is: leave it, report its fault
  }
}

template <class Record>
Record load_with_recovery(const char* record_name, const std::wstring& path) {
  // A save replaces the ".new" file: after a planned save the planned target is all there is.
  if (replay::changes().written_file(path, nullptr))
    return read_one_file<Record>(record_name, path);
  const std::wstring temporary = path + kNewSuffix;
  replay::scoped_handle temporary_file;
  Record record;
  try {
    record = read_one_file<Record>(record_name, temporary, &temporary_file);
  } catch (const file_not_found&) {
    return read_one_file<Record>(record_name, path);
  } catch (const storage_error& error) {
    return load_from_target_instead<Record>(record_name, path, temporary, temporary_file, error);
  }
  take_over(temporary_file, temporary, path);
  return record;
}

// Creates the folder part of `path` (before its last backslash) with any missing parents.
void create_folder_of(const std::wstring& path) {
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return;
  boost::filesystem::create_directories(boost::filesystem::path(path.substr(0, slash)));
}

// How the write of a save went: 0, or the Windows error and, when it was a fault after the
// ".new" file was opened, its text.
struct write_outcome {
  bool open_failed = false;
  std::string failure;
};

DWORD error_or(DWORD error, DWORD otherwise) {
  return error != 0 ? error : otherwise;
}

// Writes `blob` to `path` through the ".new" file; never throws (the change layer's apply).
DWORD write_through_new_file(const std::wstring& path, const std::string& blob,
                             write_outcome* outcome) {
  try {
    create_folder_of(path);
    if (!file_io::write_file(path + kNewSuffix, blob)) {
      outcome->open_failed = true;
      return error_or(GetLastError(), ERROR_OPEN_FAILED);
    }
    file_io::replace(path + kNewSuffix, path);
    return 0;
  } catch (const std::exception& error) {
    outcome->failure = error.what();
  } catch (...) {
    outcome->failure = "unknown failure";
  }
  return error_or(GetLastError(), ERROR_WRITE_FAULT);
}

}  // namespace

void load(const std::wstring& path, products_impl& record) {
  record = load_with_recovery<products_impl>(kProductsRootName, path);
}

void load(const std::wstring& path, suite_impl& record) {
  record = load_with_recovery<suite_impl>(kSuiteRootName, path);
}

void save(const std::wstring& path, const products_impl& record, const std::wstring& detail) {
  std::string blob;
  try {
    blob = protect_configuration_data(to_archive_text(record));
  } catch (const std::exception& error) {
    throw storage_failure<storage_error>(kProductsRootName, kStageWriting, path, error);
  }
  replay::change c;
  c.kind = replay::change_kind::write_file;
  c.where = path;
  c.detail = detail;
  c.data = blob;
  write_outcome outcome;
  const DWORD error =
      replay::changes().make(c, [&] { return write_through_new_file(path, blob, &outcome); });
  if (error == 0) return;
  if (outcome.open_failed) {
    replay::log_print(0, L"config_storage::save(). Failed to open file: %s", path.c_str());
    return;
  }
  // A failure the layer reports without a write having been tried (the backup refused it, or
  // a test made it fail) is a failed write like any other.
  const replay::exception cause = outcome.failure.empty()
                                      ? replay::exception("failed to write file (%lu)", error)
                                      : replay::exception("%s", outcome.failure.c_str());
  throw storage_failure<storage_error>(kProductsRootName, kStageWriting, path, cause);
}

}  // namespace config_storage
}  // namespace config
