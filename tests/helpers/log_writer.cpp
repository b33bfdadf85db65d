// Test helper: appends numbered lines to a shared log file, as one of several processes.
//   log_writer BASE_NAME WRITER_ID COUNT START_EVENT
// Opens the log, waits (up to 30 s) for the named event, then writes COUNT lines
// "writer <id> line <n> <padding>" through the process-wide log.
#include <windows.h>

#include "replay/unique_handle.h"

#include <cstdlib>
#include <string>

#include "replay/log/file.h"
#include "replay/log/log.h"

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  try {
    replay::log_add_listener(new replay::log::file(argv[1]));
    const replay::scoped_handle start(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    if (start) WaitForSingleObject(start.get(), 30000);
    const std::string padding(200, 'p');
    const int count = std::atoi(argv[3]);
    for (int n = 0; n < count; ++n) {
      replay::log_info("writer %s line %d %s", argv[2], n, padding.c_str());
    }
    replay::log_shutdown();
    return 0;
  } catch (...) {
    return 4;
  }
}
