#include "replay/mutex/real_mutex.h"

#include <windows.h>

#include "replay/exception/exception.h"

namespace replay {
namespace {

unsigned system_major_version() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return 5;
  return info.dwMajorVersion;
}

HANDLE create_or_open(const std::string& name) {
  // A present but null DACL: every account may wait on and release the mutex.
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
  HANDLE handle = CreateMutexA(&attributes, FALSE, name.c_str());
  if (handle == nullptr) {
    handle = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  }
  return handle;
}

}  // namespace

std::string real_mutex::kernel_name(const std::string& name, unsigned major_version) {
  const size_t slash = name.rfind('\\');
  if (major_version >= 5) return slash == std::string::npos ? "Global\\" + name : name;
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

real_mutex::real_mutex(const std::string& name)
    : m_handle(create_or_open(kernel_name(name, system_major_version()))) {
  if (!m_handle.is_valid())
    throw exception("OpenMutex returned 0x%08x", static_cast<unsigned>(GetLastError()));
}

real_mutex::~real_mutex() = default;

bool real_mutex::lock() {
  switch (WaitForSingleObject(m_handle.get(), INFINITE)) {
    case WAIT_TIMEOUT:
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
