// Log lines shared by both variants of the installer cleaning pass.
#pragma once

#include "replay/log/log.h"

constexpr char kRule50[] = "==================================================";
constexpr char kRule49[] = "=================================================";

inline void log_empty_line() {
  replay::log_info("%s", "");
}

// An empty line, the section's title and its rule.
inline void log_section(const char* title, const char* rule) {
  log_empty_line();
  replay::log_info("%s", title);
  replay::log_info("%s", rule);
}
