// The catch-all boundary of a custom action: nothing may escape into the installer.
#pragma once

// Call only inside a catch block: reports the exception being handled with
// replay::log_exception(where) and swallows whatever that report itself throws.
void report_exception(const char* where) noexcept;
