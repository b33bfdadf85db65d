// The log's first line: which build of Purgeline wrote the lines after it.
#pragma once

#include <string>

// "Purgeline <version> (commit <commit>)", the version and commit this program was built from.
std::string version_log_text();
