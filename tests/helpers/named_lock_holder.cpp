// Test helper: takes a named lock in a process of its own.
//   named_lock_holder abandon NAME         locks and ends without unlocking
//   named_lock_holder hold NAME MARKER     locks, creates MARKER, waits 1 s, deletes MARKER,
//                                          unlocks
//   named_lock_holder squat SECONDS READY NAME [POINT...]
//                                          locks, creates the hold event of every POINT
//                                          (replay/mutex/hold_point.h), signals the event READY
//                                          and keeps all of them for SECONDS
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "replay/mutex/hold_point.h"
#include "replay/mutex/real_mutex.h"
#include "replay/unique_handle.h"

namespace {

int hold(replay::real_mutex& lock, const char* marker) {
  {
    const replay::scoped_handle file(CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  Sleep(1000);
  DeleteFileA(marker);
  lock.unlock();
  return 0;
}

int squat(int argc, char** argv) {
  if (argc < 5) return 2;
  replay::real_mutex lock(argv[4]);
  if (!lock.lock()) return 3;
  std::vector<replay::scoped_handle> events;
  for (int i = 5; i < argc; ++i) {
    const std::string name = replay::hold_point_event_name(argv[i]);
    events.emplace_back(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    if (!events.back()) return 5;
  }
  const replay::scoped_handle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
  if (!ready) return 5;
  SetEvent(ready.get());
  Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  try {
    if (std::strcmp(argv[1], "squat") == 0) return squat(argc, argv);
    replay::real_mutex lock(argv[2]);
    if (!lock.lock()) return 3;
    if (std::strcmp(argv[1], "abandon") == 0) ExitProcess(0);
    if (std::strcmp(argv[1], "hold") != 0 || argc < 4) return 2;
    return hold(lock, argv[3]);
  } catch (...) {
    return 4;
  }
}
