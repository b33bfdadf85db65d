#include "replay/mutex/real_mutex.h"

#include <windows.h>

#include "replay/exception/exception.h"

namespace replay {
namespace {

constexpr DWORD kAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

unsigned system_major_version() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return 5;
  return info.dwMajorVersion;
}

[[noreturn]] void throw_open_failure(DWORD error) {
  throw exception("OpenMutex returned 0x%08x", static_cast<unsigned>(error));
}

// Creates the mutex with the accounts' DACL, owned by the administrators; where the token may
// not give that owner, with its default one. An object of that name that exists already is
// opened instead (ERROR_ALREADY_EXISTS). An object of another type, or one that keeps us out,
// fails here.
scoped_handle create_or_open(const std::string& name, lock_security& security, DWORD& error) {
  SetLastError(ERROR_SUCCESS);
  scoped_handle handle(CreateMutexExA(security.attributes(true), name.c_str(), 0, kAccess));
  error = GetLastError();
  if (!handle && error == ERROR_INVALID_OWNER) {
    SetLastError(ERROR_SUCCESS);
    handle.reset(CreateMutexExA(security.attributes(false), name.c_str(), 0, kAccess));
    error = GetLastError();
  }
  return handle;
}

scoped_handle make_mutex(const std::string& name, lock_accounts accounts) {
  lock_security security(accounts);
  DWORD error = ERROR_SUCCESS;
  scoped_handle handle = create_or_open(name, security, error);
  if (!handle) throw_open_failure(error);
  if (error == ERROR_ALREADY_EXISTS && !security.trusts(handle.get())) {
    throw exception("the lock %s belongs to another account", name.c_str());
  }
  return handle;
}

}  // namespace

std::string real_mutex::kernel_name(const std::string& name, unsigned major_version) {
  const size_t slash = name.rfind('\\');
  if (major_version >= 5) return slash == std::string::npos ? "Global\\" + name : name;
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

real_mutex::real_mutex(const std::string& name, lock_accounts accounts, unsigned long patience)
    : m_handle(make_mutex(kernel_name(name, system_major_version()), accounts)),
      m_patience(patience) {}

real_mutex::~real_mutex() = default;

bool real_mutex::lock() {
  switch (WaitForSingleObject(m_handle.get(), m_patience)) {
    case WAIT_TIMEOUT:
      m_patience = 0;
      return false;
    case WAIT_FAILED:
      throw exception("WaitForSingleObject returned 0x%08x", static_cast<unsigned>(GetLastError()));
    default:
      // WAIT_OBJECT_0, and WAIT_ABANDONED: the previous owner ended without releasing.
      return true;
  }
}

void real_mutex::unlock() {
  if (!ReleaseMutex(m_handle.get()))
    throw exception("ReleaseMutex returned 0x%08x", static_cast<unsigned>(GetLastError()));
}

}  // namespace replay
