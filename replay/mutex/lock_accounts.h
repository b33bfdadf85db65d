// Who may use a named lock: the accounts that do the work it guards, and nobody else. A lock
// that another account can open is one that account can hold to stall us.
//
// The lock is made with a DACL that grants exactly these accounts and with the administrators
// as its owner (where the token allows it). A lock of that name that exists already is used
// only when it shows the same: an owner among the accounts and a DACL that grants nobody else.
// Anything else was made by someone else (a squatter that took the name first) and is not used.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace replay {

enum class lock_accounts {
  // The system and the administrators: the lock of an elevated program's own files.
  administrators,
  // Those and the account this process runs as (a program that runs for the user as well as
  // for the system).
  administrators_and_user,
};

class lock_security {
 public:
  // Throws replay::exception when the accounts cannot be named (no token to read).
  explicit lock_security(lock_accounts accounts);
  ~lock_security();
  lock_security(const lock_security&) = delete;
  lock_security& operator=(const lock_security&) = delete;

  // For creating the lock: the DACL of the accounts, owned by the administrators when
  // `administrators_own` is set, else by the token's default owner.
  SECURITY_ATTRIBUTES* attributes(bool administrators_own);

  // Whether the existing object `handle` (opened with READ_CONTROL) is one of ours.
  bool trusts(HANDLE handle) const;

 private:
  bool keeps_to(PACL dacl) const;
  bool is_account(PSID sid) const;

  std::vector<std::string> m_sids;  // string forms ("S-1-5-18"), as the DACL names them
  std::vector<std::vector<BYTE>> m_binary_sids;
  PSECURITY_DESCRIPTOR m_descriptor = nullptr;
  SECURITY_ATTRIBUTES m_attributes = {};
};

}  // namespace replay
