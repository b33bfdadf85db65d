#include "replay/mutex/hold_point.h"

#include <windows.h>

#include "replay/unique_handle.h"

namespace replay {
namespace {

scoped_handle open_hold_event(const std::string& name) {
  return scoped_handle(OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str()));
}

}  // namespace

std::string hold_point_event_name(const char* point) {
  return std::string("Local\\hold point ") + point;
}

inline namespace test_flavour {

void hold_point(const char* point) {
  const std::string name = hold_point_event_name(point);
  {
    const scoped_handle event = open_hold_event(name);
    if (!event) return;
    SetEvent(event.get());
  }
  // The event lives while a handle to it is open: once the test has closed its own (or has
  // ended), the work goes on.
  while (open_hold_event(name)) Sleep(50);
}

}  // namespace test_flavour

}  // namespace replay
