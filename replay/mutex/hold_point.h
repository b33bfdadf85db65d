// A named place in a program's work where a test can hold the program, so that it can end the
// program at exactly that place.
//
//   replay::hold_point("installer.products");   // in the program
//
// The test creates a manual-reset event named hold_point_event_name("installer.products")
// before it starts the program. On reaching the point the program signals that event and then
// waits for as long as the event exists; the test ends the program meanwhile. Without that
// event (every ordinary run) the call returns at once: a hold point only ever delays the work,
// it never skips any.
#pragma once

#include <string>

namespace replay {

// The event's name: "Local\hold point " followed by `point`.
std::string hold_point_event_name(const char* point);

// Holds here while the test's event for `point` exists; returns at once otherwise.
void hold_point(const char* point);

}  // namespace replay
