#include "replay/mutex/mutex.h"

namespace replay {

mutex::mutex() {
  InitializeCriticalSection(&m_section);
}

mutex::~mutex() {
  DeleteCriticalSection(&m_section);
}

bool mutex::lock() {
  EnterCriticalSection(&m_section);
  return true;
}

void mutex::unlock() {
  LeaveCriticalSection(&m_section);
}

}  // namespace replay
