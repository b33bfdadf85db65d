#include "setup_dll/module_log.h"

#include <windows.h>

#include <boost/filesystem/operations.hpp>

#include "replay/log/file.h"
#include "replay/log/log.h"
#include "replay/log/proxy.h"
#include "replay/log/router.h"
#include "replay/unicode/unicode.h"

module_log::module_log(const std::wstring& folder)
    : m_router(std::make_unique<replay::log::router>()) {
  boost::filesystem::create_directories(boost::filesystem::path(folder));
  const std::string base_name = replay::to_narrow(folder, CP_ACP, true) + "\\Installer";
  // Deferred actions write as the system, immediate ones as the installing user.
  m_router->add(new replay::log::file(base_name, replay::log::file::kNoLimit, 0,
                                      replay::lock_accounts::administrators_and_user),
                0);
  const std::string prefix = "[" + std::to_string(GetCurrentProcessId()) + "] ";
  replay::log_add_listener(new replay::log::proxy(m_router.get(), prefix));
}

module_log::~module_log() {
  try {
    replay::log_shutdown();
  } catch (...) {
  }
  m_router.reset();
}
