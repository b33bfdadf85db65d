#include "setup_dll/action_boundary.h"

#include "replay/log/log_exception.h"

void report_exception(const char* where) noexcept {
  try {
    replay::log_exception(where);
  } catch (...) {
  }
}
