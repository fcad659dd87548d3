#pragma once
// Drives a window's timers by hand on a virtual clock: a timer ticks its interval
// after it was last armed, then again every interval until it is re-armed or
// stopped, as a running timer does. Nothing waits in real time and the event
// loop never runs, so the real timers underneath never fire.

#include "shared/vbtimer.h"

#include <functional>
#include <vector>

namespace sonorel::test {

class VirtualTimers final {
public:
    // Each timer with the handler its tick calls.
    void add(VbTimer* timer, std::function<void()> tick) {
        m_entries.push_back({timer, std::move(tick), timer->armings(), -1});
        sync();
    }
    qint64 now() const { return m_now; }

    // Runs `action` at the current moment (a click, a slider move).
    void act(const std::function<void()>& action) {
        sync();
        action();
        sync();
    }
    // Moves the clock to `ms`, running every tick due on the way, in order.
    void advanceTo(qint64 ms) {
        sync();
        for (;;) {
            Entry* next = nullptr;
            for (Entry& e : m_entries) {
                if (e.due >= 0 && e.due <= ms && (!next || e.due < next->due))
                    next = &e;
            }
            if (!next)
                break;
            m_now = next->due;
            const quint64 before = next->timer->armings();
            next->tick();
            // Not re-armed by its own tick: it goes on with the same interval.
            if (next->timer->isRunning() && next->timer->armings() == before)
                next->due = m_now + next->timer->interval();
            sync();
        }
        m_now = ms;
    }
    void advanceBy(qint64 ms) { advanceTo(m_now + ms); }

private:
    struct Entry {
        VbTimer* timer;
        std::function<void()> tick;
        quint64 seen;
        qint64 due; // -1 while stopped
    };
    void sync() {
        for (Entry& e : m_entries) {
            if (!e.timer->isRunning()) {
                e.due = -1;
            } else if (e.timer->armings() != e.seen) {
                e.due = m_now + e.timer->interval();
            }
            e.seen = e.timer->armings();
        }
    }

    std::vector<Entry> m_entries;
    qint64 m_now = 0;
};

} // namespace sonorel::test
