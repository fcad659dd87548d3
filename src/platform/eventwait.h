#pragma once
// The one way to wait while events keep running: the synchronous speech calls,
// the tests and the benchmarks all use it. Window code never waits like this.

#include <functional>

namespace sonorel::platform {

// Runs the event loop until `done` holds or `timeoutMs` passed (-1: no limit),
// looking every `pollMs`; sleeps in the loop in between. True when done.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 5);

} // namespace sonorel::platform
