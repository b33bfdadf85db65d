// A named place in a program's work where a test can hold the program, so that it can end the
// program at exactly that place.
//
//   replay::hold_point("installer.products");   // in the program
//
// Only the test flavour of a program holds (its sources compiled with CORVANE_TEST_FLAVOUR and
// linked with replay_hold_point): there the test creates a manual-reset event named
// hold_point_event_name("installer.products") before it starts the program; on reaching the
// point the program signals that event and then waits for as long as the event exists, and the
// test ends the program meanwhile. Without that event the call returns at once: a hold point
// only ever delays the work, it never skips any.
//
// In the shipped programs the call is empty, and the point's name is compiled away with it: no
// process can hold them.
#pragma once

#include <string>

namespace replay {

// The event's name: "Local\hold point " followed by `point`. In replay_hold_point only.
std::string hold_point_event_name(const char* point);

#if defined(CORVANE_TEST_FLAVOUR)
// Its own namespace keeps it apart from the empty one below, should both meet in one program.
inline namespace test_flavour {
// Holds here while the test's event for `point` exists; returns at once otherwise.
void hold_point(const char* point);
}  // namespace test_flavour
#else
inline void hold_point(const char* /*point*/) {}
#endif

}  // namespace replay
