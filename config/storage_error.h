// Errors of config_storage. Both keep the empty category of replay::exception, so what() is
// "[Class \"<record>\". Error <stage> file: <path> (<cause>)]".
#pragma once

#include <string>

#include "replay/exception/exception.h"

namespace config {

// A configuration file exists (or may exist) but could not be read, or a save failed.
class storage_error : public replay::exception {
 public:
  explicit storage_error(const std::string& message) : replay::exception(message) {}
};

// Neither the file nor its ".new" file exists (the path or its folder is missing). Callers that
// must tell "no registration list" from "an unreadable one" catch this kind first.
class file_not_found : public storage_error {
 public:
  explicit file_not_found(const std::string& message) : storage_error(message) {}
};

}  // namespace config
