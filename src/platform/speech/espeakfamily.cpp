#include "platform/speech/espeakfamily.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sonorel::platform::speech {

namespace {

constexpr UnitRange kSpeed{espeakRATE_MINIMUM, espeakRATE_MAXIMUM, espeakRATE_NORMAL};
constexpr UnitRange kPitch{0, 100, 50};

// How far synthesis may run ahead of a caller that is slow to take its audio (a
// sound output that blocks) before the family thread waits for it: a long sentence.
constexpr std::size_t kMaxPendingSamples = 10 * 22050;
constexpr int kBufferMs = 400;

// Only the thread of the engine alive at the time touches espeak-ng; it holds this
// for as long as it runs, so an engine starting while the last one still shuts down
// waits for it. The flags below belong to the holder.
std::mutex g_libraryOwner;
bool g_initialised = false;
bool g_usable = false;
bool g_outputReady = false; // espeak_ng_InitializeOutput has succeeded
QString g_failure;
// The voice loaded now. Loading a voice reads its files again, which costs as
// much as speaking a short sentence: only load it when it changes.
std::string g_currentVoice;

espeak_ERROR selectVoice(const std::string& identifier) {
    if (identifier == g_currentVoice)
        return EE_OK;
    const espeak_ERROR status = espeak_SetVoiceByName(identifier.c_str());
    g_currentVoice = status == EE_OK ? identifier : std::string();
    return status;
}
// espeak-ng 1.51 hangs in its second espeak_Terminate() in a process (its command
// thread leaves a "running" flag behind), so the library is terminated once at most;
// an engine started after that initialises it again and leaves it initialised.
bool g_terminated = false;

} // namespace

namespace espeak {

struct Voice {
    QString name;
    QString language;
    std::string identifier;
};

// The thread that owns espeak-ng, running jobs one after another.
class Engine {
public:
    Engine() : m_thread([this] { run(); }) {}

    ~Engine() {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    // The one engine alive, or a new one.
    static std::shared_ptr<Engine> acquire() {
        static std::mutex mutex;
        static std::weak_ptr<Engine> live;
        const std::lock_guard lock(mutex);
        auto engine = live.lock();
        if (!engine) {
            engine = std::make_shared<Engine>();
            live = engine;
        }
        return engine;
    }

    // These wait until espeak-ng has been initialised (or has failed to be).
    // The sound output is set up after that, so its failure can come later.
    bool usable() const {
        waitUntilReady();
        const std::lock_guard lock(m_mutex);
        return m_usable;
    }
    QString failure() const {
        waitUntilReady();
        const std::lock_guard lock(m_mutex);
        return m_failure;
    }
    const std::vector<Voice>& voices() const {
        waitUntilReady();
        return m_voices;
    }
    int sampleRate() const {
        waitUntilReady();
        return m_sampleRate;
    }

    // Runs `job` on the engine thread after the jobs already queued. Jobs must not throw.
    void post(std::function<void()> job) {
        {
            const std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }

    template <typename Job> void call(Job job) {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        post([&] {
            job();
            // Notified under the lock: the caller may return as soon as it has it.
            const std::lock_guard lock(mutex);
            done = true;
            changed.notify_one();
        });
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return done; });
    }

private:
    void waitUntilReady() const {
        std::unique_lock lock(m_mutex);
        m_readyChanged.wait(lock, [this] { return m_ready; });
    }

    void run() {
        const std::lock_guard owner(g_libraryOwner);
        start();
        {
            const std::lock_guard lock(m_mutex);
            m_ready = true;
            m_readyChanged.notify_all();
        }
        // The output is set up after the voices are told: it may look for a
        // sound server (espeak-ng's own audio library does), which a caller that
        // only lists voices must not wait for. Every job runs after it.
        startOutput();
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
                if (m_jobs.empty())
                    break;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
        if (!g_terminated) {
            espeak_Terminate();
            g_terminated = true;
            g_initialised = false;
        }
    }

    void start() {
        if (!g_initialised) {
            // The data folder is the library's default, or $ESPEAK_DATA_PATH.
            espeak_ng_InitializePath(nullptr);
            espeak_ng_ERROR_CONTEXT context = nullptr;
            espeak_ng_STATUS status = espeak_ng_Initialize(&context);
            espeak_ng_ClearErrorContext(&context);
            g_initialised = true;
            g_outputReady = false;
            g_currentVoice.clear();
            setUsable(status);
        }
        m_usable = g_usable;
        m_failure = g_failure;
        if (!m_usable)
            return;
        espeak_SetSynthCallback(&Engine::onSynth);
        m_sampleRate = espeak_ng_GetSampleRate();
        for (const espeak_VOICE** voice = espeak_ListVoices(nullptr); voice && *voice; ++voice) {
            const std::string identifier = (*voice)->identifier ? (*voice)->identifier : "";
            // MBROLA voices need the separate mbrola program, which this family does not use.
            if (identifier.empty() || identifier.starts_with("mb/"))
                continue;
            QString name = QString::fromUtf8((*voice)->name);
            if (name.trimmed().isEmpty())
                name = QString::fromStdString(identifier);
            // A priority byte, then the language; an empty list is a lone zero byte.
            const char* languages = (*voice)->languages;
            const QString language =
                languages && languages[0] ? QString::fromUtf8(languages + 1) : QString();
            m_voices.push_back({name, language, identifier});
        }
    }

    void startOutput() {
        if (!g_usable || g_outputReady)
            return;
        // Audio comes back in pieces of kBufferMs: short enough for a quick first
        // sound (espeak-ng makes it a thousand times faster than it plays), long
        // enough that handing pieces between threads costs nothing next to making them.
        setUsable(espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, kBufferMs, nullptr));
        g_outputReady = g_usable;
        const std::lock_guard lock(m_mutex);
        m_usable = g_usable;
        m_failure = g_failure;
    }

    static void setUsable(espeak_ng_STATUS status) {
        g_usable = status == ENS_OK;
        g_failure.clear();
        if (!g_usable) {
            char message[256] = {};
            espeak_ng_GetStatusCodeMessage(status, message, sizeof message);
            g_failure = QString::fromUtf8(message);
        }
    }

    static int onSynth(short* samples, int count, espeak_EVENT* events);

    bool m_usable = false;
    QString m_failure;
    int m_sampleRate = 0;
    std::vector<Voice> m_voices;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // a job, or quitting
    mutable std::condition_variable m_readyChanged;
    bool m_ready = false; // start() is done
    std::deque<std::function<void()>> m_jobs;
    bool m_quit = false;
    std::thread m_thread; // last: it starts running in the constructor
};

namespace {

// What espeak-ng delivers in one callback: the words first, then the audio they start in.
struct Batch {
    std::vector<WordMark> words;
    std::vector<std::int16_t> samples;
};

// One synthesize() call, shared between the calling thread and the engine thread.
class Stream {
public:
    explicit Stream(QStringView text) : m_text(text), m_utf8(text.toUtf8()) {
        // espeak-ng reads up to the first NUL.
        m_utf8.replace('\0', ' ');
        // espeak-ng counts code points; the caller counts UTF-16 units. A lone
        // surrogate becomes one character in UTF-8 too.
        m_start.reserve(std::size_t(text.size()) + 1);
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_start.push_back(int(i));
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
        }
        m_start.push_back(int(text.size()));
    }

    // Engine thread.
    void synthesize(const std::string& voice, int rate, int pitch) {
        espeak_ERROR status = selectVoice(voice);
        // Settings are set on every call: other voices ran in between.
        if (status == EE_OK)
            status = espeak_SetParameter(espeakRATE, rate, 0);
        if (status == EE_OK)
            status = espeak_SetParameter(espeakPITCH, pitch, 0);
        // ENDPAUSE keeps the pause after the final punctuation, so chunks spoken one
        // after another sound like one text.
        if (status == EE_OK)
            status =
                espeak_Synth(m_utf8.constData(), std::size_t(m_utf8.size()) + 1, 0, POS_CHARACTER,
                             0, espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, this);
        // Notified under the lock: once the caller sees m_finished, it may destroy the
        // stream, so nothing here may touch it after the lock is released.
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        if (status != EE_OK)
            m_error = "espeak-ng failed to speak with voice " + voice;
        m_changed.notify_all();
    }

    // Engine thread, from espeak-ng's callback. Returns false to stop synthesis.
    bool take(const short* samples, int count, const espeak_EVENT* events) {
        if (m_cancelled)
            return false;
        Batch batch;
        for (const espeak_EVENT* event = events; event->type != espeakEVENT_LIST_TERMINATED;
             ++event) {
            if (event->type == espeakEVENT_WORD)
                addWord(*event, batch.words);
        }
        if (samples && count > 0) {
            batch.samples.assign(samples, samples + count);
            m_produced += count;
        }
        if (batch.words.empty() && batch.samples.empty())
            return true;
        std::unique_lock lock(m_mutex);
        m_pendingSamples += batch.samples.size();
        m_batches.push_back(std::move(batch));
        m_changed.notify_all();
        m_changed.wait(lock,
                       [this] { return m_pendingSamples < kMaxPendingSamples || m_cancelled; });
        return !m_cancelled;
    }

    // Calling thread: waits for what came since the last call. `finished` is set once
    // nothing more will come.
    std::deque<Batch> next(bool& finished) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_batches.empty() || m_finished; });
        finished = m_finished;
        std::deque<Batch> batches;
        batches.swap(m_batches);
        m_pendingSamples = 0;
        lock.unlock();
        m_changed.notify_all();
        return batches;
    }

    // Calling thread: stops synthesis and waits until the engine thread is done with
    // this stream, so it can go away.
    void cancelAndWait() {
        std::unique_lock lock(m_mutex);
        m_cancelled = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_finished; });
    }

    const std::string& error() const { return m_error; }

private:
    void addWord(const espeak_EVENT& event, std::vector<WordMark>& words) {
        const int codePoints = int(m_start.size()) - 1;
        const int first = event.text_position - 1; // 1-based
        if (event.length <= 0 || first < 0 || first >= codePoints)
            return;
        int begin = m_start[std::size_t(first)];
        int end = m_start[std::size_t(std::min(first + event.length, codePoints))];
        // An emoji's spoken name gets a word on the space after it.
        while (begin < end && m_text[begin].isSpace())
            ++begin;
        while (end > begin && m_text[end - 1].isSpace())
            --end;
        // espeak-ng marks a word again for each part it speaks (digit groups, CJK
        // characters), sometimes one character further on: one mark per word.
        if (begin == end || begin < m_lastWordEnd)
            return;
        m_lastWordEnd = end;
        // A word never starts in audio already handed over.
        m_lastSample = std::max({std::int64_t(event.sample), m_produced, m_lastSample});
        words.push_back({begin, end - begin, m_lastSample});
    }

    const QStringView m_text;
    QByteArray m_utf8;
    std::vector<int> m_start; // UTF-16 index of each code point, then the text's length

    // Engine thread only.
    std::int64_t m_produced = 0;
    std::int64_t m_lastSample = 0;
    int m_lastWordEnd = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_batches;
    std::size_t m_pendingSamples = 0;
    bool m_finished = false;
    std::string m_error;
    std::atomic<bool> m_cancelled = false;
};

class EspeakSynthesizer final : public Synthesizer {
public:
    EspeakSynthesizer(std::shared_ptr<Engine> engine, std::string identifier)
        : m_engine(std::move(engine)), m_identifier(std::move(identifier)) {}

    int sampleRate() const override { return m_engine->sampleRate(); }

    bool synthesize(QStringView text, const SynthSettings& settings, ChunkOutput& out) override {
        Stream stream(text);
        const int rate = std::clamp(settings.speed, kSpeed.min, kSpeed.max);
        const int pitch = std::clamp(settings.pitch, kPitch.min, kPitch.max);
        m_engine->post(
            [&stream, this, rate, pitch] { stream.synthesize(m_identifier, rate, pitch); });
        // However this call ends, the engine thread lets go of the stream first.
        struct Release {
            Stream& stream;
            ~Release() { stream.cancelAndWait(); }
        } release{stream};

        bool finished = false;
        while (!finished) {
            for (Batch& batch : stream.next(finished)) {
                for (const WordMark& word : batch.words)
                    out.word(word);
                if (!batch.samples.empty() &&
                    !out.audio(batch.samples.data(), batch.samples.size()))
                    return false;
            }
        }
        if (!stream.error().empty())
            throw EngineError(EngineError::kEngineFailure, stream.error());
        return true;
    }

private:
    std::shared_ptr<Engine> m_engine;
    std::string m_identifier;
};

} // namespace

int Engine::onSynth(short* samples, int count, espeak_EVENT* events) {
    auto* stream = events ? static_cast<Stream*>(events->user_data) : nullptr;
    return stream && stream->take(samples, count, events) ? 0 : 1;
}

} // namespace espeak

EspeakFamily::EspeakFamily() : m_engine(espeak::Engine::acquire()) {}

EspeakFamily::~EspeakFamily() = default;

QList<VoiceDescription> EspeakFamily::voices() const {
    QList<VoiceDescription> voices;
    for (const espeak::Voice& voice : m_engine->voices())
        voices.append({voice.name, voice.language});
    return voices;
}

int EspeakFamily::defaultVoice() const {
    // American English by name; then by language, US before espeak-ng's own
    // British default; "the first English voice" would be a Caribbean one.
    const std::vector<espeak::Voice>& all = m_engine->voices();
    const auto find = [&](auto matches) {
        const auto it = std::find_if(all.begin(), all.end(), matches);
        return it == all.end() ? -1 : int(it - all.begin());
    };
    for (int found : {find([](const espeak::Voice& v) { return v.name == "English (America)"; }),
                      find([](const espeak::Voice& v) { return v.language == "en-us"; }),
                      find([](const espeak::Voice& v) { return v.language == "en-gb"; })})
        if (found >= 0)
            return found;
    return 0;
}

void EspeakFamily::checkIndex(int voice) const {
    if (voice < 0 || std::size_t(voice) >= m_engine->voices().size())
        throw EngineError(EngineError::kInvalidArgument,
                          "no espeak-ng voice number " + std::to_string(voice));
}

UnitRange EspeakFamily::speedRange(int voice) const {
    checkIndex(voice);
    return kSpeed;
}

UnitRange EspeakFamily::pitchRange(int voice) const {
    checkIndex(voice);
    return kPitch;
}

std::shared_ptr<Synthesizer> EspeakFamily::synthesizer(int voice) {
    if (!m_engine->usable())
        throw EngineError(EngineError::kEngineFailure,
                          "espeak-ng cannot be initialised: " + m_engine->failure().toStdString());
    checkIndex(voice);
    const std::string& identifier = m_engine->voices()[std::size_t(voice)].identifier;
    espeak_ERROR status = EE_OK;
    m_engine->call([&] { status = selectVoice(identifier); });
    if (status != EE_OK)
        throw EngineError(EngineError::kEngineFailure, "espeak-ng cannot load voice " + identifier);
    return std::make_shared<espeak::EspeakSynthesizer>(m_engine, identifier);
}

} // namespace sonorel::platform::speech
