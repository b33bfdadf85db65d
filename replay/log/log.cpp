#include "replay/log/log.h"

#include <cstdarg>

#include "replay/exception/exception.h"
#include "replay/exception/format.h"
#include "replay/log/router.h"
#include "replay/mutex/mutex.h"
#include "replay/mutex/scope.h"

namespace replay {
namespace {

constexpr int kInfoLevel = 1;
constexpr int kErrorLevel = 3;

// Guards the process-wide router and every front-end call. Never destroyed, so that code
// running at process exit can still log.
replay::mutex& front_end_lock() {
  static replay::mutex* lock = new replay::mutex;
  return *lock;
}

log::router* g_router = nullptr;

// A format that cannot be rendered is logged as itself, marked, rather than lost.
template <typename Char>
std::basic_string<Char> format_or_note(const Char* format, va_list args) {
  try {
    return vformat(format, args);
  } catch (const replay::exception&) {
    std::basic_string<Char> note;
    for (const char* c = "replay::log: unable to format: "; *c != '\0'; ++c) note += *c;
    return format != nullptr ? note + format : note;
  }
}

template <typename Char>
void print(int level, const Char* format, va_list args) {
  scope guard(&front_end_lock());
  log_write(level, format_or_note(format, args));
}

}  // namespace

log::router* log_instance() {
  scope guard(&front_end_lock());
  if (g_router == nullptr) g_router = new log::router;
  return g_router;
}

void log_add_listener(log::listener* listener) {
  scope guard(&front_end_lock());
  log_instance()->add(listener, 0);
}

void log_shutdown() {
  scope guard(&front_end_lock());
  delete g_router;
  g_router = nullptr;
}

void log_write(int level, const std::wstring& text) {
  scope guard(&front_end_lock());
  log_instance()->write(level, text);
}

void log_write(int level, const std::string& text) {
  scope guard(&front_end_lock());
  log_instance()->write(level, text);
}

#define REPLAY_LOG_FORWARD(LEVEL, FORMAT) \
  va_list args;                           \
  va_start(args, FORMAT);                 \
  try {                                   \
    print(LEVEL, FORMAT, args);           \
  } catch (...) {                         \
    va_end(args);                         \
    throw;                                \
  }                                       \
  va_end(args)

void log_print(int level, const char* format, ...) {
  REPLAY_LOG_FORWARD(level, format);
}
void log_print(int level, const wchar_t* format, ...) {
  REPLAY_LOG_FORWARD(level, format);
}
void log_info(const char* format, ...) {
  REPLAY_LOG_FORWARD(kInfoLevel, format);
}
void log_info(const wchar_t* format, ...) {
  REPLAY_LOG_FORWARD(kInfoLevel, format);
}
void log_error(const char* format, ...) {
  REPLAY_LOG_FORWARD(kErrorLevel, format);
}
void log_error(const wchar_t* format, ...) {
  REPLAY_LOG_FORWARD(kErrorLevel, format);
}

#undef REPLAY_LOG_FORWARD

}  // namespace replay
