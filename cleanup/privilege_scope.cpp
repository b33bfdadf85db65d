#include "cleanup/privilege_scope.h"

using replay::scoped_token;

namespace {

// The calling thread's token when it has one, else the process token.
scoped_token open_own_token() {
  const DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), access, FALSE, &token)) return scoped_token(token);
  token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), access, &token)) return scoped_token(token);
  return scoped_token();
}

}  // namespace

privilege_scope::privilege_scope() {
  m_token = open_own_token();
  if (!m_token) return;
  m_new_state.PrivilegeCount = 1;
  m_new_state.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, m_privilege_name, &m_new_state.Privileges[0].Luid)) return;
  DWORD returned = 0;
  m_adjusted = AdjustTokenPrivileges(m_token.get(), FALSE, &m_new_state, sizeof(m_previous_state),
                                     &m_previous_state, &returned) != FALSE;
}

privilege_scope::~privilege_scope() {
  if (!m_token) return;
  if (m_adjusted) {
    AdjustTokenPrivileges(m_token.get(), FALSE, &m_previous_state, sizeof(m_previous_state),
                          nullptr, nullptr);
  }
}
