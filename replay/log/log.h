// The process-wide log: front-end operations that every part of both deliverables writes
// through. Levels 0 to 5 carry the markers "#", " ", "+", "!", ">", "@"; the system uses
// 0, 1 (log_info) and 3 (log_error).
#pragma once

#include <string>

namespace replay {
namespace log {
class listener;
class router;
}  // namespace log

// The process-wide router, created on first use.
log::router* log_instance();
// Hands the listener to the process-wide router (minimum level 0); the router owns it.
void log_add_listener(log::listener* listener);
// Deletes every listener and the router; a later write starts a new, empty router.
void log_shutdown();

void log_write(int level, const std::wstring& text);
// Narrow text in the ANSI code page (its UTF-8 reading when it is not valid there).
void log_write(int level, const std::string& text);

void log_print(int level, const char* format, ...) __attribute__((format(ms_printf, 2, 3)));
void log_print(int level, const wchar_t* format, ...);
void log_info(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));
void log_info(const wchar_t* format, ...);
void log_error(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));
void log_error(const wchar_t* format, ...);

}  // namespace replay
