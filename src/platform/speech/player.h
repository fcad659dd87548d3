#pragma once
// Plays the audio of speech streams in order on its own thread and reports each
// stream's start, words and end at the moment their samples are handed to the
// sound output. Everything here may be called from any thread.

#include "platform/speech/audiosink.h"
#include "platform/speech/synthesizer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace sonorel::platform::speech {

// A word of a played item: its UTF-16 index in the stream's text, and its first
// sample within the item's samples.
using PlayMark = WordMark;

struct PlayItem {
    enum class Kind { StreamStart, Audio, StreamEnd };
    Kind kind = Kind::Audio;
    int stream = 0;
    int sampleRate = 0;
    std::vector<std::int16_t> samples; // mono
    std::vector<PlayMark> marks;
};

// Told on the playback thread, with the player's lock held: must not block and
// must not call back into the player.
class PlayerListener {
public:
    virtual ~PlayerListener() = default;
    // `sample` counts the stream's samples handed over before the event.
    virtual void onStart(int stream) = 0;
    virtual void onWord(int stream, std::int64_t sample, const PlayMark& mark) = 0;
    virtual void onEnd(int stream, std::int64_t sample) = 0;
};

class SpeechPlayer final {
public:
    SpeechPlayer(SinkFactory sinks, PlayerListener& listener);
    ~SpeechPlayer();
    SpeechPlayer(const SpeechPlayer&) = delete;
    SpeechPlayer& operator=(const SpeechPlayer&) = delete;

    void push(PlayItem item);

    // While paused nothing is handed over; pausing an idle player holds back the
    // next speech until resume().
    void pause();
    void resume();
    bool isPaused() const { return m_paused; }

    // Drops every queued item and what the sound output still holds. Returns the
    // stream that was playing (started and not ended) and its sample count, if any;
    // its end is not reported by the player.
    struct Interrupted {
        int stream;
        std::int64_t sample;
    };
    std::optional<Interrupted> reset();

    // Gains 0..1 per output channel, applied from the next block on.
    void setGains(float left, float right);

    // Blocks until fewer than `frames` samples wait to be played, or `stop`
    // returns true (checked whenever the queue moves, and at least every 50 ms).
    template <class Stop> void waitForRoom(std::int64_t frames, Stop stop);

    std::int64_t queuedFrames() const { return m_queuedFrames; }
    QString sinkName() const;

private:
    void run();
    void play(PlayItem& item);
    bool writeBlock(const std::int16_t* mono, std::size_t frames, int rate);
    void useSink(int rate);
    bool interrupted(std::uint64_t resetSerial);

    SinkFactory m_sinks;
    PlayerListener& m_listener;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // the playback thread waits here
    std::condition_variable m_room; // producers wait here
    std::deque<PlayItem> m_queue;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_quit{false};
    std::atomic<std::uint64_t> m_resetSerial{0};
    std::atomic<std::int64_t> m_queuedFrames{0};
    std::atomic<float> m_leftGain{1.0f}, m_rightGain{1.0f};

    // Playback thread only (m_current* are also read under m_mutex by reset()).
    std::unique_ptr<AudioSink> m_sink;
    AudioFormat m_format;
    std::vector<std::int16_t> m_stereo;
    std::optional<int> m_currentStream;
    std::int64_t m_currentSample = 0;

    std::thread m_thread;
};

template <class Stop> void SpeechPlayer::waitForRoom(std::int64_t frames, Stop stop) {
    std::unique_lock lock(m_mutex);
    while (m_queuedFrames >= frames && !stop() && !m_quit)
        m_room.wait_for(lock, std::chrono::milliseconds(50));
}

} // namespace sonorel::platform::speech
