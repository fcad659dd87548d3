#pragma once
// What every benchmark program does: print a figure, let events run, take a median.

#include "platform/eventwait.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace sonorel::bench {

inline void print(const char* name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Looks every millisecond, so a measured moment is not rounded up by the wait.
inline void spinUntil(const std::function<bool()>& done, int timeoutMs) {
    platform::runEventsUntil(done, timeoutMs, 1);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace sonorel::bench
