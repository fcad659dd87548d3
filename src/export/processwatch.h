#pragma once
// A started program (the encoder) followed by its process id: it runs until the
// id names no living process. Neither the encoder nor anything else reports its
// end, so the owner asks at each tick.

#include "platform/process.h"

#include <optional>

namespace sonorel::exporting {

class ProcessWatch final {
public:
    void watch(qint64 pid) { m_pid = pid; }
    std::optional<qint64> pid() const { return m_pid; }
    // True while the watched process has not ended; false when none is watched.
    bool isRunning(const platform::ProcessLauncher& launcher) const;
    // Ends the watched process at once and waits, at most `waitMs`, until it is
    // gone, so that it creates no file after its files are removed. False when it
    // was not running. The wait sleeps: no events run meanwhile.
    bool end(platform::ProcessLauncher& launcher, int waitMs);

private:
    std::optional<qint64> m_pid;
};

} // namespace sonorel::exporting
