#pragma once
// A sound output for benchmarks: remembers when each block was handed over.

#include "platform/speech/audiosink.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace sonorel::bench {

inline std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class StampSink final : public platform::speech::AudioSink {
public:
    struct Log {
        std::mutex mutex;
        std::vector<std::pair<std::int64_t, std::int64_t>> writes; // (frames before, ns)
        std::int64_t frames = 0;
        std::int64_t firstWriteNs = 0;
        std::int64_t first() {
            std::lock_guard lock(mutex);
            return firstWriteNs;
        }
    };
    // Paced like a sound card when `realTime`, else as fast as it is fed.
    StampSink(std::shared_ptr<Log> log, bool realTime)
        : m_log(std::move(log)), m_realTime(realTime) {}
    bool open(const platform::speech::AudioFormat& f) override { return m_silent.open(f); }
    bool write(const std::int16_t* s, std::size_t n) override {
        {
            std::lock_guard lock(m_log->mutex);
            const std::int64_t t = nowNs();
            if (!m_log->firstWriteNs)
                m_log->firstWriteNs = t;
            m_log->writes.emplace_back(m_log->frames, t);
            m_log->frames += std::int64_t(n);
        }
        return m_realTime ? m_silent.write(s, n) : true;
    }
    void drain() override {
        if (m_realTime)
            m_silent.drain();
    }
    void flush() override { m_silent.flush(); }
    QString name() const override { return "stamp"; }

    static platform::speech::SinkFactory factory(const std::shared_ptr<Log>& log, bool realTime) {
        return [log, realTime] { return std::make_unique<StampSink>(log, realTime); };
    }

private:
    std::shared_ptr<Log> m_log;
    bool m_realTime;
    platform::speech::SilentSink m_silent;
};

} // namespace sonorel::bench
