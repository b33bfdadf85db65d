// Test helper: takes a named lock in a process of its own.
//   named_lock_holder abandon NAME         locks and ends without unlocking
//   named_lock_holder hold NAME MARKER     locks, creates MARKER, waits 1 s, deletes MARKER,
//                                          unlocks
#include <windows.h>

#include "replay/unique_handle.h"

#include <cstring>

#include "replay/mutex/real_mutex.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  try {
    replay::real_mutex lock(argv[2]);
    if (!lock.lock()) return 3;
    if (std::strcmp(argv[1], "abandon") == 0) ExitProcess(0);
    if (std::strcmp(argv[1], "hold") != 0 || argc < 4) return 2;
    {
      const replay::scoped_handle marker(CreateFileA(
          argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    Sleep(1000);
    DeleteFileA(argv[3]);
    lock.unlock();
    return 0;
  } catch (...) {
    return 4;
  }
}
