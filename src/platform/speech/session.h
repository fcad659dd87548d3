#pragma once
// The engine-independent half of a speaking voice: a worker thread that
// synthesizes queued texts a chunk at a time, a player that plays them, and the
// stream events, delivered on the thread that owns the session (the UI thread)
// at the moment their samples reach the sound output.
//
// Rules the windows rely on:
// - speak() returns at once; streams play one after the other in call order.
// - After purge() no event of the purged speech is delivered, except one
//   streamEnded for the stream that was playing; that one is dropped too when
//   speak() is called before it arrives (a Stop followed at once by a new
//   reading must not end the new one).
// - Settings and gains apply from the next chunk (about a sentence) on.

#include "platform/speech/player.h"
#include "platform/speech/synthesizer.h"
#include "platform/eventwait.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <QObject>
#include <QSet>
#include <thread>

namespace sonorel::platform::speech {

class SpeechSession final : public QObject, private PlayerListener {
    Q_OBJECT
public:
    // Queued audio is held to this many seconds ahead of the sound output.
    static constexpr int kLookaheadSeconds = 4;

    explicit SpeechSession(SinkFactory sinks, QObject* parent = nullptr);
    ~SpeechSession() override;

    void setSynthesizer(std::shared_ptr<Synthesizer> synthesizer);
    std::shared_ptr<Synthesizer> synthesizer() const { return m_synth; }
    void setSettings(const SynthSettings& settings);
    SynthSettings settings() const;
    void setGains(float left, float right);

    // Returns the new stream's number (1, 2, ...), or 0 without a synthesizer.
    int speak(const QString& text);
    // A stream number for speech that goes elsewhere (into a file).
    int takeStreamNumber() { return m_nextStream++; }
    void pause();
    void resume();
    bool isPaused() const;
    void purge();

    // True while a stream is queued or playing.
    bool busy() const { return !m_pending.isEmpty(); }
    // Runs the event loop until no stream is pending or `timeoutMs` passed
    // (-1: no limit). True when done.
    bool waitUntilDone(int timeoutMs);

    QString outputName() const;

signals:
    void streamStarted(int stream);
    // `sample`: the stream's samples handed over before the word.
    void wordReached(int stream, qint64 sample, int position, int length);
    void streamEnded(int stream, qint64 sample);

private:
    struct Job {
        int stream;
        QString text;
        std::shared_ptr<Synthesizer> synth;
        std::uint64_t epoch;
    };

    void onStart(int stream) override;
    void onWord(int stream, std::int64_t sample, const PlayMark& mark) override;
    void onEnd(int stream, std::int64_t sample) override;

    void ensureRunning();
    void run();
    void render(const Job& job);
    bool cancelled(const Job& job) const { return m_quit || m_epoch != job.epoch; }
    bool pushIfCurrent(const Job& job, PlayItem item);

    SinkFactory m_sinks;
    std::shared_ptr<Synthesizer> m_synth;

    // Shared with the worker and the playback thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_jobsReady;
    std::deque<Job> m_jobs;
    SynthSettings m_settings;
    std::atomic<std::uint64_t> m_epoch{0}; // bumped by purge()
    std::atomic<bool> m_quit{false};

    // UI thread only.
    int m_nextStream = 1;
    std::uint64_t m_speakSerial = 0;
    QSet<int> m_pending;
    float m_left = 1.0f, m_right = 1.0f;

    std::unique_ptr<SpeechPlayer> m_player;
    std::thread m_worker;
};

} // namespace sonorel::platform::speech
