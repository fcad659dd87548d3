#pragma once
// The progress line on standard error while a file is rendered, shown only when
// standard error is a terminal: percent of the text spoken so far, the time taken
// and an estimate of the time left.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <QString>

namespace sonorel::cli {

// "42% of the text, 0:12 so far, about 0:17 left"; no estimate before 1 %.
QString progressText(int percent, std::int64_t elapsedMs);

class ProgressLine final {
public:
    // Writes to `to` only when `enabled`.
    ProgressLine(std::FILE* to, bool enabled, std::int64_t textLength);
    // The rendering has reached `position` in the text.
    void reached(std::int64_t position);
    // Clears the line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* m_to;
    bool m_enabled;
    std::int64_t m_length;
    int m_shown = -1;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastShown{};
};

} // namespace sonorel::cli
