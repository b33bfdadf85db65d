// The DLL's own log: a router with one file listener, joined to the process-wide log through a
// proxy that puts "[<process id>] " before every line.
#pragma once

#include <memory>
#include <string>

namespace replay {
namespace log {
class router;
}  // namespace log
}  // namespace replay

class module_log {
 public:
  // Creates `folder` with its missing parents and opens folder\Installer.log.txt. Throws the
  // replay kinds (and boost::filesystem::filesystem_error) when any of that fails.
  explicit module_log(const std::wstring& folder);
  // Shuts the process-wide log down (removing the proxy), then closes the file.
  ~module_log();
  module_log(const module_log&) = delete;
  module_log& operator=(const module_log&) = delete;

 private:
  std::unique_ptr<replay::log::router> m_router;
};
