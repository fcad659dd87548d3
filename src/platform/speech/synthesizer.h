#pragma once
// The hooks an engine family implements. Everything else about speaking (worker
// threads, queues, pause and reset, sound output, events on the UI thread) is
// shared by both families and lives in the speech session.

#include <cstdint>
#include <functional>
#include <memory>
#include <QList>
#include <QString>
#include <QStringView>
#include <stdexcept>
#include <vector>

namespace sonorel::platform::speech {

// An engine failure, numbered the way the reader's voice switch understands:
//   5           an argument out of range (no such voice index): ignored by the reader
//   0x80004005  the engine or its voice data cannot be initialised ("not reliable")
class EngineError : public std::runtime_error {
public:
    EngineError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), m_number(number) {}
    std::int32_t number() const { return m_number; }

    static constexpr std::int32_t kInvalidArgument = 5;
    static constexpr std::int32_t kEngineFailure = std::int32_t(0x80004005);

private:
    std::int32_t m_number;
};

// One spoken word: where it stands in the synthesized text (UTF-16 units of the
// text given) and the sample at which it begins, counted from the first sample of
// the same synthesize() call.
struct WordMark {
    int position = 0;
    int length = 0;
    std::int64_t sample = 0;
};

// Receives what a synthesizer makes of one chunk of text, on the calling thread.
class ChunkOutput {
public:
    virtual ~ChunkOutput() = default;
    // Mono 16-bit samples at the synthesizer's rate. Returns false when the
    // speech was cancelled: the synthesizer stops as soon as it can.
    virtual bool audio(const std::int16_t* samples, std::size_t count) = 0;
    // A word, reported no later than the audio that contains its first sample.
    virtual void word(const WordMark& word) = 0;
};

// Collects what one chunk of a longer text makes: its samples, and its words with
// their positions moved to the whole text's. Stops the synthesizer once
// `cancelled` says so.
class ChunkCollector final : public ChunkOutput {
public:
    ChunkCollector(std::function<bool()> cancelled, int textOffset)
        : m_cancelled(std::move(cancelled)), m_offset(textOffset) {}
    bool audio(const std::int16_t* data, std::size_t count) override {
        if (m_cancelled())
            return false;
        samples.insert(samples.end(), data, data + count);
        return true;
    }
    void word(const WordMark& w) override {
        words.push_back({w.position + m_offset, w.length, w.sample});
    }

    std::vector<std::int16_t> samples;
    std::vector<WordMark> words;

private:
    std::function<bool()> m_cancelled;
    int m_offset;
};

// Engine units of one voice: speed and pitch have a real range.
struct UnitRange {
    int min = 0;
    int max = 0;
    int normal = 0;
};

struct SynthSettings {
    int speed = 0; // engine units, within the voice's speed range
    int pitch = 0; // engine units, within the voice's pitch range
};

// One voice, ready to synthesize. synthesize() may be called from any thread,
// including from several threads at once: a family whose library cannot run
// twice at the same time serializes the calls itself.
class Synthesizer {
public:
    virtual ~Synthesizer() = default;
    virtual int sampleRate() const = 0;
    // Synthesizes one chunk (a sentence or a clause). Returns false when cancelled
    // through ChunkOutput::audio(); throws EngineError when the engine fails.
    virtual bool synthesize(QStringView text, const SynthSettings& settings, ChunkOutput& out) = 0;
    // How many characters of sentences file rendering joins into one call: longer
    // calls save per-call cost, but an engine's working memory may grow with them.
    virtual int filePieceLength() const { return 1500; }
};

struct VoiceDescription {
    QString name;     // the display name in the voice lists
    QString language; // e.g. "en-us"; may be empty
};

// An engine family: flite voices are generation 4, espeak-ng voices generation 5.
class EngineFamily {
public:
    virtual ~EngineFamily() = default;
    // In a stable order; empty when the engine could not be initialised.
    virtual QList<VoiceDescription> voices() const = 0;
    // Throws EngineError (kInvalidArgument) for an index that names no voice.
    virtual UnitRange speedRange(int voice) const = 0;
    virtual UnitRange pitchRange(int voice) const = 0;
    // Throws EngineError when the voice cannot be loaded.
    virtual std::shared_ptr<Synthesizer> synthesizer(int voice) = 0;
    // The voice a new voice object starts with.
    virtual int defaultVoice() const { return 0; }
};

} // namespace sonorel::platform::speech
