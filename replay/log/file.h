// A listener that appends lines to a UTF-8 log file (base name + ".log.txt") that several
// processes may share: a named lock, open to the accounts that write the log, serialises their
// appends. Optional size-based rotation keeps up to backup_count copies (base name +
// ".1.log.txt" oldest ... ".N.log.txt" newest).
//
// The lock never holds the program up for long: when it cannot be had within its patience (or
// its name was taken by another account first), lines are still written, each with one append
// to the end of the file, which keeps it whole; only rotation, which cuts the file, waits for
// the lock and is left out without it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "replay/log/listener.h"
#include "replay/mutex/real_mutex.h"
#include "replay/unique_handle.h"

namespace replay {
namespace log {

class file : public listener {
 public:
  static constexpr uint32_t kNoLimit = 0xFFFFFFFF;

  // Throws replay::log::generic when the file cannot be opened or created. A lock that cannot
  // be made leaves the file without one. `accounts` are those that write this log.
  explicit file(const std::string& base_name, uint32_t size_limit = kNoLimit,
                uint32_t backup_count = 0, lock_accounts accounts = lock_accounts::administrators);
  ~file() override;

  void write(int level, const std::string& header, const std::string& text) override;

  // "log-" + the base name with every "\" replaced by "_".
  static std::string lock_name(const std::string& base_name);

 private:
  void rotate_if_full();
  void append(const std::string& bytes);

  std::unique_ptr<real_mutex> m_lock;  // null when there is none to be had
  std::string m_base_name;
  uint32_t m_size_limit;
  uint32_t m_backup_count;
  scoped_handle m_file;
  scoped_handle m_appending;  // the same file, opened to append only (empty when it cannot be)
};

}  // namespace log
}  // namespace replay
