// A backup whose saving for one chosen change fails, as on a full disk: the `nth` change offered
// (counted from 1) is refused with `error`, and logged as any backup that cannot be saved; every
// other change is saved as the real backup saves it.
//
//   backup_session session([](const std::wstring& folder) {
//     return std::make_unique<test_support::failing_backup_observer>(folder, 8, ERROR_DISK_FULL);
//   });
#pragma once

#include <windows.h>

#include <string>

#include "backup/backup_observer.h"

namespace test_support {

class failing_backup_observer : public replay::backup::backup_observer {
 public:
  failing_backup_observer(const std::wstring& folder, int nth, DWORD error)
      : backup_observer(folder), m_nth(nth), m_error(error) {}

 protected:
  DWORD save(const replay::change& c, replay::backup::index_entry& e) override {
    return ++m_offered == m_nth ? m_error : backup_observer::save(c, e);
  }

 private:
  int m_nth;
  DWORD m_error;
  int m_offered = 0;
};

}  // namespace test_support
