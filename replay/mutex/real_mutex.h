// A named lock shared by the processes (and, on Windows 2000 and later, the logged-on users)
// that use the same name, and open to the given accounts only (replay/mutex/lock_accounts.h).
// Failures throw replay::exception.
//
// No wait on it lasts for good: another process that holds the lock (or keeps taking it) can
// delay us by the lock's patience once, and no more.
#pragma once

#include <string>

#include "replay/mutex/lock_accounts.h"
#include "replay/mutex/scope_semantics.h"
#include "replay/unique_handle.h"

namespace replay {

class real_mutex : public scope_semantics {
 public:
  // How long lock() waits, in milliseconds: a few seconds, far longer than any holder of ours
  // keeps it.
  static constexpr unsigned long kPatience = 3000;

  // Creates the mutex, or opens it when it exists. Throws when it can be neither made nor
  // opened, and when the existing object of that name is not one the accounts made (another
  // account took the name first).
  explicit real_mutex(const std::string& name,
                      lock_accounts accounts = lock_accounts::administrators,
                      unsigned long patience = kPatience);
  ~real_mutex() override;

  // Waits at most the patience; false when the lock was not had by then. Once a wait has run
  // out, later ones only try: a lock that another process keeps is not waited for again. A
  // mutex abandoned by an ended owner is taken over.
  bool lock() override;
  void unlock() override;

  // The kernel name used for `name` on a system of the given major version: "Global\" in
  // front of a plain name from version 5 on; before that, only the part after the last "\".
  static std::string kernel_name(const std::string& name, unsigned major_version);

 private:
  scoped_handle m_handle;
  unsigned long m_patience;
};

}  // namespace replay
