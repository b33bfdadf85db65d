// A listener that appends lines to a UTF-8 log file (base name + ".log.txt") that several
// processes may share: a named lock serialises their appends. Optional size-based rotation
// keeps up to backup_count copies (base name + ".1.log.txt" oldest ... ".N.log.txt" newest).
#pragma once

#include <cstdint>
#include <string>

#include "replay/log/listener.h"
#include "replay/mutex/real_mutex.h"
#include "replay/unique_handle.h"

namespace replay {
namespace log {

class file : public listener {
 public:
  static constexpr uint32_t kNoLimit = 0xFFFFFFFF;

  // Throws replay::log::generic when the file cannot be opened or created, and the named
  // lock's replay::exception when the lock cannot be made.
  explicit file(const std::string& base_name, uint32_t size_limit = kNoLimit,
                uint32_t backup_count = 0);
  ~file() override;

  void write(int level, const std::string& header, const std::string& text) override;

  // "log-" + the base name with every "\" replaced by "_".
  static std::string lock_name(const std::string& base_name);

 private:
  void rotate_if_full();
  void write_bytes(const std::string& bytes);

  real_mutex m_lock;
  std::string m_base_name;
  uint32_t m_size_limit;
  uint32_t m_backup_count;
  scoped_handle m_file;
};

}  // namespace log
}  // namespace replay
