#pragma once
// Letting the event loop run in tests: until a condition holds, or for a while.

#include "platform/eventwait.h"

namespace sonorel::test {

// True when `done` came true before the time-out.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    return platform::runEventsUntil(done, timeoutMs);
}

inline void spinFor(int ms) {
    platform::runEventsUntil([] { return false; }, ms);
}

} // namespace sonorel::test
