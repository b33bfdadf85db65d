// Files that hold one DPAPI-protected blob (product.cfg, suite.cfg). Used by config_storage and
// by tests that seed configuration files, including deliberately odd ones.
#pragma once

#include <string>

namespace config {

// The unprotected content of `path`. Throws config::file_not_found when the file or its folder
// does not exist, replay::exception for any other open or read failure, and the errors of
// unprotect_configuration_data.
std::string read_protected_file(const std::wstring& path);

// Protects `text` and writes it to `path` (created or truncated), checking every write and
// flushing it to disk before returning. Throws replay::exception on any failure; a file that was
// opened but not completely written is deleted again. No ".new" step: tests use it to plant
// files directly, config_storage::save() to write its ".new" file.
void write_protected_file(const std::wstring& path, const std::string& text);

// As write_protected_file, but writes `bytes` as they are (no protection): plain or damaged files.
void write_raw_file(const std::wstring& path, const std::string& bytes);

// The raw bytes of `path` (nothing unprotected). Throws as read_protected_file.
std::string read_raw_file(const std::wstring& path);

}  // namespace config
