// A fresh registry key below HKEY_CURRENT_USER, removed with everything in it at the end, that
// can stand in for a predefined root key (RegOverridePredefKey), so that code under test writes
// into it and the real root stays untouched.
#pragma once

#include <windows.h>

#include <string>

#include "replay/unique_handle.h"

namespace test_support {

class scratch_key {
 public:
  // HKEY_CURRENT_USER\<name>, emptied first when a failed run left it behind.
  explicit scratch_key(const std::wstring& name);
  // Ends the redirection, if any, then deletes the key.
  ~scratch_key();
  scratch_key(const scratch_key&) = delete;
  scratch_key& operator=(const scratch_key&) = delete;

  bool is_valid() const { return m_key.is_valid(); }
  HKEY get() const { return m_key.get(); }
  // Below HKEY_CURRENT_USER.
  const std::wstring& path() const { return m_path; }
  // Makes `root` (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...) open this key in this process until
  // restore() or the end; false when Windows refuses.
  bool redirect(HKEY root);
  // Gives the redirected root its real key back.
  void restore();

 private:
  std::wstring m_path;
  replay::unique_hkey m_key;
  HKEY m_redirected = nullptr;
};

}  // namespace test_support
