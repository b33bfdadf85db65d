// Enables the debug privilege on the calling thread's token (or, without a thread token, on the
// process token) for the lifetime of the scope and restores the previous state afterwards.
#pragma once

#include <windows.h>

#include "replay/unique_handle.h"

class privilege_scope {
 public:
  privilege_scope();
  ~privilege_scope();
  privilege_scope(const privilege_scope&) = delete;
  privilege_scope& operator=(const privilege_scope&) = delete;

  // True when a token was opened (the privilege may still have been refused).
  bool has_token() const { return m_token.is_valid(); }

 private:
  replay::scoped_token m_token;
  const char* m_privilege_name = "SeDebugPrivilege";
  TOKEN_PRIVILEGES m_new_state = {};
  TOKEN_PRIVILEGES m_previous_state = {};
  bool m_adjusted = false;
};
