#pragma once
// Where spoken samples go. A sink is used from one thread at a time (the player's
// playback thread); write() blocks for as long as the device needs to take the
// samples, which is what paces speech in real time.

#include <cstdint>
#include <functional>
#include <memory>
#include <QString>

struct pa_simple;

namespace sonorel::platform::speech {

struct AudioFormat {
    int sampleRate = 0;
    int channels = 0;
    bool operator==(const AudioFormat&) const = default;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // False when the device cannot be opened.
    virtual bool open(const AudioFormat& format) = 0;
    // Interleaved 16-bit frames. False when the device failed (it may have gone
    // away); the caller then carries on with another sink.
    virtual bool write(const std::int16_t* samples, std::size_t frames) = 0;
    // Waits until what was written has been played.
    virtual void drain() = 0;
    // Throws away what was written and not yet played.
    virtual void flush() = 0;
    // A pause in writing begins (the next write starts afresh, not late).
    virtual void pause() {}
    virtual QString name() const = 0;
};

// Takes samples at the pace a sound card would play them, and plays nothing.
class SilentSink final : public AudioSink {
public:
    bool open(const AudioFormat& format) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    void drain() override;
    void flush() override;
    void pause() override;
    QString name() const override { return QStringLiteral("silent"); }

private:
    int m_rate = 0;
    std::int64_t m_deadlineNs = 0; // when everything written so far has played
};

// Takes samples at once: for tests and file-like uses.
class FastSink final : public AudioSink {
public:
    bool open(const AudioFormat&) override { return true; }
    bool write(const std::int16_t*, std::size_t) override { return true; }
    void drain() override {}
    void flush() override {}
    QString name() const override { return QStringLiteral("fast"); }
};

// The PulseAudio server (PipeWire's counts), through the simple API.
class PulseSink final : public AudioSink {
public:
    explicit PulseSink(QString streamName);
    ~PulseSink() override;
    bool open(const AudioFormat& format) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    void drain() override;
    void flush() override;
    QString name() const override { return QStringLiteral("pulseaudio"); }

private:
    void close();
    QString m_streamName;
    ::pa_simple* m_stream = nullptr;
    int m_channels = 0;
};

enum class AudioMode {
    Automatic, // PulseAudio when a server answers, else silent
    Pulse,
    Silent,
    Fast,
};

// Makes the sink for one player. Automatic tries PulseAudio and falls back to the
// silent sink, saying so once in the log.
using SinkFactory = std::function<std::unique_ptr<AudioSink>()>;
SinkFactory makeSinkFactory(AudioMode mode, const QString& streamName);

// "pulse", "silent", "fast"; anything else is Automatic.
AudioMode audioModeFromName(const QString& name);

} // namespace sonorel::platform::speech
