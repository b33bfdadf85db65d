// Log lines shared by both variants of the installer cleaning pass.
#pragma once

#include "replay/change/change_layer.h"
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

// The section of what the pass removes: "<what> Removed", in a report-only run
// "<what> Would Be Removed".
inline void log_removed_section(const char* what, const char* rule) {
  log_empty_line();
  replay::log_info("%s %s", what, replay::would("Removed", "Would Be Removed"));
  replay::log_info("%s", rule);
}
