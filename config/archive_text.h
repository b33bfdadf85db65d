// The XML archive text of the configuration records, as the suite's programs exchange it:
// Boost.Serialization's narrow XML archive, flags 0, with archive library version 8 in the
// boost_serialization header. Nothing here touches the file system.
//
// Wide strings are converted character by character with the current C locale (see
// wide_text.h; in the "C" locale characters above U+00FF cannot be written). Every malformed text,
// missing or misnamed element, bad number or unconvertible character throws an exception
// derived from std::exception (the archive library's own, or replay::exception).
#pragma once

#include <memory>
#include <string>

#include "config/products_impl.h"
#include "config/suite_impl.h"

namespace config {

// Root element names used when writing.
constexpr const char kProductsRootName[] = "products";
constexpr const char kSuiteRootName[] = "suite";
// Readers take the root under this name; the root's own name is never compared.
constexpr const char kReadRootName[] = "temp";

// The archive library version written into the header. Readers take any version the library
// understands, 8 and newer included.
constexpr unsigned int kArchiveVersion = 8;

std::string to_archive_text(const products_impl& record, const char* root_name = kProductsRootName);
// The remover never writes suite.cfg; this serves tests and seeding.
std::string to_archive_text(const suite_impl& record, const char* root_name = kSuiteRootName);

// Read the whole text into `record`. `record` is left in an unspecified state on failure; read
// into a fresh record and assign on success where that matters.
void from_archive_text(const std::string& text, products_impl& record);
void from_archive_text(const std::string& text, suite_impl& record);

// Reading in two steps, so that callers can tell a bad header from a bad record: the
// constructor reads and checks the archive header, read() the root record and the end of the
// text. Read one record per reader.
class archive_reader {
 public:
  explicit archive_reader(const std::string& text);
  ~archive_reader();
  archive_reader(const archive_reader&) = delete;
  archive_reader& operator=(const archive_reader&) = delete;

  void read(products_impl& record);
  void read(suite_impl& record);

 private:
  struct state;
  std::unique_ptr<state> m_state;
};

}  // namespace config
