#include "platform/speech/audiosink.h"

#include <atomic>
#include <chrono>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <QDebug>
#include <thread>

namespace sonorel::platform::speech {

namespace {
std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
void sleepUntilNs(std::int64_t ns) {
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns)));
}
} // namespace

bool SilentSink::open(const AudioFormat& format) {
    m_rate = format.sampleRate > 0 ? format.sampleRate : 1;
    m_deadlineNs = 0;
    return true;
}

bool SilentSink::write(const std::int16_t*, std::size_t frames) {
    // A block is taken when the previous one starts to play, as a card with a
    // one-block buffer would: hand-over time is play time.
    const std::int64_t now = nowNs();
    if (m_deadlineNs < now)
        m_deadlineNs = now; // an underrun: start afresh, not late
    else
        sleepUntilNs(m_deadlineNs);
    m_deadlineNs += std::int64_t(frames) * 1'000'000'000 / m_rate;
    return true;
}

void SilentSink::drain() {
    sleepUntilNs(m_deadlineNs);
}

void SilentSink::flush() {
    m_deadlineNs = 0;
}

void SilentSink::pause() {
    m_deadlineNs = 0;
}

PulseSink::PulseSink(QString streamName) : m_streamName(std::move(streamName)) {}

PulseSink::~PulseSink() {
    close();
}

void PulseSink::close() {
    if (m_stream)
        pa_simple_free(m_stream);
    m_stream = nullptr;
}

bool PulseSink::open(const AudioFormat& format) {
    close();
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.rate = std::uint32_t(format.sampleRate);
    sampleFormat.channels = std::uint8_t(format.channels);
    // A short buffer keeps pause and stop prompt; 60 ms still rides out a busy
    // moment of the machine.
    const std::uint32_t bytesPerMs = sampleFormat.rate * sampleFormat.channels * 2 / 1000;
    pa_buffer_attr attr{};
    attr.maxlength = std::uint32_t(-1);
    attr.tlength = bytesPerMs * 60;
    attr.prebuf = std::uint32_t(-1);
    attr.minreq = bytesPerMs * 10;
    attr.fragsize = std::uint32_t(-1);
    int error = 0;
    m_channels = format.channels;
    m_stream =
        pa_simple_new(nullptr, "Sonorel", PA_STREAM_PLAYBACK, nullptr,
                      m_streamName.toUtf8().constData(), &sampleFormat, nullptr, &attr, &error);
    return m_stream != nullptr;
}

bool PulseSink::write(const std::int16_t* samples, std::size_t frames) {
    if (!m_stream)
        return false;
    int error = 0;
    return pa_simple_write(m_stream, samples, frames * sizeof(std::int16_t) * m_channels, &error) >=
           0;
}

void PulseSink::drain() {
    int error = 0;
    if (m_stream)
        pa_simple_drain(m_stream, &error);
}

void PulseSink::flush() {
    int error = 0;
    if (m_stream)
        pa_simple_flush(m_stream, &error);
}

SinkFactory makeSinkFactory(AudioMode mode, const QString& streamName) {
    switch (mode) {
    case AudioMode::Fast:
        return [] { return std::make_unique<FastSink>(); };
    case AudioMode::Silent:
        return [] { return std::make_unique<SilentSink>(); };
    case AudioMode::Pulse:
        return [streamName] { return std::make_unique<PulseSink>(streamName); };
    case AudioMode::Automatic:
        break;
    }
    return [streamName]() -> std::unique_ptr<AudioSink> {
        // Probe once per process: without a server the probe fails in well under
        // a millisecond, and every later player takes the same road.
        static const bool serverAnswers = [] {
            PulseSink probe(QStringLiteral("probe"));
            const bool ok = probe.open({22050, 2});
            if (!ok)
                qInfo("sound: no PulseAudio server answers; speech plays silently in real time");
            return ok;
        }();
        if (serverAnswers)
            return std::make_unique<PulseSink>(streamName);
        return std::make_unique<SilentSink>();
    };
}

AudioMode audioModeFromName(const QString& name) {
    if (name == QLatin1String("pulse"))
        return AudioMode::Pulse;
    if (name == QLatin1String("silent"))
        return AudioMode::Silent;
    if (name == QLatin1String("fast"))
        return AudioMode::Fast;
    return AudioMode::Automatic;
}

} // namespace sonorel::platform::speech
