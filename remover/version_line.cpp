#include "remover/version_line.h"

#include "corvane_version.h"

std::string version_log_text() {
  return std::string("Purgeline ") + CORVANE_VERSION_TEXT + " (commit " + CORVANE_COMMIT + ")";
}
