#include "platform/speech/player.h"

#include <algorithm>
#include <QDebug>

namespace sonorel::platform::speech {

namespace {
// 10 ms blocks: pause, stop and word events are never further off than that.
int blockFrames(int rate) {
    return std::max(1, rate / 100);
}
} // namespace

SpeechPlayer::SpeechPlayer(SinkFactory sinks, PlayerListener& listener)
    : m_sinks(std::move(sinks)), m_listener(listener), m_thread([this] { run(); }) {}

SpeechPlayer::~SpeechPlayer() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_room.notify_all();
    m_thread.join();
}

void SpeechPlayer::push(PlayItem item) {
    {
        std::lock_guard lock(m_mutex);
        m_queuedFrames += std::int64_t(item.samples.size());
        m_queue.push_back(std::move(item));
    }
    m_wake.notify_all();
}

void SpeechPlayer::pause() {
    std::lock_guard lock(m_mutex);
    m_paused = true;
}

void SpeechPlayer::resume() {
    {
        std::lock_guard lock(m_mutex);
        m_paused = false;
    }
    m_wake.notify_all();
}

std::optional<SpeechPlayer::Interrupted> SpeechPlayer::reset() {
    std::optional<Interrupted> interrupted;
    {
        std::lock_guard lock(m_mutex);
        if (m_currentStream)
            interrupted = Interrupted{*m_currentStream, m_currentSample};
        m_currentStream.reset();
        m_queue.clear();
        m_queuedFrames = 0;
        ++m_resetSerial;
    }
    m_wake.notify_all();
    m_room.notify_all();
    return interrupted;
}

void SpeechPlayer::setGains(float left, float right) {
    m_leftGain = std::clamp(left, 0.0f, 1.0f);
    m_rightGain = std::clamp(right, 0.0f, 1.0f);
}

QString SpeechPlayer::sinkName() const {
    std::lock_guard lock(m_mutex);
    return m_sink ? m_sink->name() : QString();
}

void SpeechPlayer::run() {
    std::unique_lock lock(m_mutex);
    std::uint64_t seenSerial = m_resetSerial;
    for (;;) {
        m_wake.wait(lock, [&] {
            return m_quit || m_resetSerial != seenSerial || (!m_paused && !m_queue.empty());
        });
        if (m_quit)
            return;
        if (m_resetSerial != seenSerial) {
            // What the device still holds belongs to speech that was stopped.
            seenSerial = m_resetSerial;
            if (m_sink)
                m_sink->flush();
            continue;
        }
        PlayItem item = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        play(item);
        lock.lock();
    }
}

bool SpeechPlayer::interrupted(std::uint64_t resetSerial) {
    return m_quit || m_resetSerial != resetSerial;
}

void SpeechPlayer::play(PlayItem& item) {
    const std::uint64_t serial = m_resetSerial;
    switch (item.kind) {
    case PlayItem::Kind::StreamStart: {
        std::lock_guard lock(m_mutex);
        if (interrupted(serial))
            return;
        m_currentStream = item.stream;
        m_currentSample = 0;
        m_listener.onStart(item.stream);
        return;
    }
    case PlayItem::Kind::StreamEnd: {
        if (m_sink)
            m_sink->drain();
        std::lock_guard lock(m_mutex);
        if (interrupted(serial))
            return; // reset() reports this stream's end
        m_currentStream.reset();
        m_listener.onEnd(item.stream, m_currentSample);
        return;
    }
    case PlayItem::Kind::Audio:
        break;
    }

    useSink(item.sampleRate);
    const std::size_t total = item.samples.size();
    const std::size_t block = std::size_t(blockFrames(item.sampleRate));
    std::size_t nextMark = 0;
    bool pausedSink = false;
    for (std::size_t offset = 0; offset < total || nextMark < item.marks.size();) {
        const std::size_t n = std::min(block, total - offset);
        {
            std::unique_lock lock(m_mutex);
            if (m_paused && !pausedSink && m_sink) {
                m_sink->pause();
                pausedSink = true;
            }
            m_wake.wait(lock, [&] { return !m_paused || interrupted(serial); });
            if (interrupted(serial))
                return;
            // Words whose first sample is in this block are reported as it is
            // handed over. Reporting under the lock means a reset either comes
            // before (and the word is never reported) or after (and the session
            // drops it as stale).
            while (
                nextMark < item.marks.size() &&
                (item.marks[nextMark].sample < std::int64_t(offset + n) || offset + n >= total)) {
                const PlayMark& mark = item.marks[nextMark++];
                const std::int64_t at = std::clamp<std::int64_t>(mark.sample, offset, offset + n);
                m_listener.onWord(item.stream, m_currentSample + (at - std::int64_t(offset)), mark);
            }
        }
        pausedSink = false;
        if (n == 0)
            break;
        writeBlock(item.samples.data() + offset, n, item.sampleRate);
        offset += n;
        {
            std::lock_guard lock(m_mutex);
            if (interrupted(serial))
                return;
            m_currentSample += std::int64_t(n);
            m_queuedFrames -= std::int64_t(n);
        }
        m_room.notify_all();
    }
}

void SpeechPlayer::useSink(int rate) {
    const AudioFormat wanted{rate, 2};
    if (m_sink && m_format == wanted)
        return;
    if (m_sink)
        m_sink->drain();
    std::unique_ptr<AudioSink> sink = m_sinks();
    if (!sink->open(wanted)) {
        qWarning().noquote() << "sound: cannot open" << sink->name()
                             << "output; speech plays silently in real time";
        sink = std::make_unique<SilentSink>();
        sink->open(wanted);
    }
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
    m_format = wanted;
}

bool SpeechPlayer::writeBlock(const std::int16_t* mono, std::size_t frames, int rate) {
    const float left = m_leftGain, right = m_rightGain;
    m_stereo.resize(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        m_stereo[2 * i] = std::int16_t(float(mono[i]) * left);
        m_stereo[2 * i + 1] = std::int16_t(float(mono[i]) * right);
    }
    if (m_sink->write(m_stereo.data(), frames))
        return true;
    // The server went away: keep the reading going, silently, to its end.
    qWarning().noquote() << "sound:" << m_sink->name()
                         << "output failed; speech continues silently in real time";
    auto silent = std::make_unique<SilentSink>();
    silent->open({rate, 2});
    silent->write(m_stereo.data(), frames);
    std::lock_guard lock(m_mutex);
    m_sink = std::move(silent);
    return false;
}

} // namespace sonorel::platform::speech
