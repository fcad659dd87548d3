#include "platform/speech/flitefamily.h"

// Only flite.h declares C linkage itself; the headers it pulls in do not.
extern "C" {
#include <cst_cg.h>
#include <flite.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <QString>
#include <string>
#include <string_view>

extern "C" {
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_kal(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
}

namespace sonorel::platform::speech {

struct FliteFamily::Voice {
    QString name;
    cst_voice* voice = nullptr;
    int sampleRate = 0;
    UnitRange speed;
    UnitRange pitch;
};

namespace {

constexpr int kMinSpeed = 70; // words per minute
constexpr int kMaxSpeed = 350;
constexpr int kMinPitch = 50; // mean F0 in Hz
constexpr int kMaxPitch = 300;
constexpr std::int64_t kPiece = 4096; // samples per ChunkOutput::audio() call
constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

struct KnownVoice {
    const char* name;
    cst_voice* (*registerVoice)(const char* voxdir);
    int naturalSpeed; // words per minute at duration_stretch 1, measured over read prose
};

// Mary must stay first: she is engine 1 in the reader's voice list. The clock voice
// (time_awb) only knows how to say the time and is left out.
const KnownVoice kKnownVoices[] = {
    {"Mary", register_cmu_us_slt, 190},
    {"Kal (US English male, 8 kHz)", register_cmu_us_kal, 180},
    {"Kal (US English male, 16 kHz)", register_cmu_us_kal16, 185},
    {"AWB (English male, Scottish accent)", register_cmu_us_awb, 190},
    {"RMS (US English male)", register_cmu_us_rms, 175},
};

// Clustergen voices keep their mean F0 in the model, diphone voices in a feature.
int defaultPitch(cst_voice* voice) {
    if (feat_present(voice->features, "cg_db"))
        return int(std::lround(val_cg_db(feat_val(voice->features, "cg_db"))->f0_mean));
    return int(std::lround(flite_get_param_float(voice->features, "int_f0_target_mean", 100.0f)));
}

std::vector<FliteFamily::Voice> registerVoices() {
    flite_init();
    std::vector<FliteFamily::Voice> voices;
    for (const KnownVoice& known : kKnownVoices) {
        cst_voice* voice = known.registerVoice(nullptr);
        if (!voice)
            continue;
        const int rate = flite_get_param_int(voice->features, "sample_rate", 0);
        if (rate <= 0)
            continue;
        voices.push_back({QString::fromLatin1(known.name), voice, rate,
                          UnitRange{kMinSpeed, kMaxSpeed, known.naturalSpeed},
                          UnitRange{kMinPitch, kMaxPitch,
                                    std::clamp(defaultPitch(voice), kMinPitch, kMaxPitch)}});
    }
    return voices;
}

// flite_init() and the register functions change global state: once per process.
const std::vector<FliteFamily::Voice>& registeredVoices() {
    static std::once_flag once;
    static std::vector<FliteFamily::Voice> voices;
    std::call_once(once, [] { voices = registerVoices(); });
    return voices;
}

// --- Text for flite ------------------------------------------------------------

// flite reads 7-bit text and spells out or drops anything else. Every byte we hand it
// remembers the UTF-16 span of the character it came from, so that words can be
// placed back in the original text.
struct AsciiText {
    std::string text;
    std::vector<int> begin;
    std::vector<int> end;

    void append(std::string_view s, int from, int to) {
        text.append(s);
        begin.insert(begin.end(), s.size(), from);
        end.insert(end.end(), s.size(), to);
    }
};

struct Replacement {
    char16_t from;
    const char* to;
};

// Sorted by code point. Letters not listed here lose their accents through Unicode
// decomposition; dashes get spaces so that "well—maybe" stays two words.
constexpr Replacement kReplacements[] = {
    {0x00A0, " "},   {0x00AB, "\""},  {0x00AD, ""},   {0x00BB, "\""}, {0x00C6, "AE"},
    {0x00D0, "D"},   {0x00D8, "O"},   {0x00DE, "Th"}, {0x00DF, "ss"}, {0x00E6, "ae"},
    {0x00F0, "d"},   {0x00F8, "o"},   {0x00FE, "th"}, {0x0110, "D"},  {0x0111, "d"},
    {0x0126, "H"},   {0x0127, "h"},   {0x0131, "i"},  {0x0141, "L"},  {0x0142, "l"},
    {0x014A, "Ng"},  {0x014B, "ng"},  {0x0152, "OE"}, {0x0153, "oe"}, {0x0166, "T"},
    {0x0167, "t"},   {0x017F, "s"},   {0x1E9E, "SS"}, {0x200B, ""},   {0x200C, ""},
    {0x200D, ""},    {0x2010, "-"},   {0x2011, "-"},  {0x2012, "-"},  {0x2013, "-"},
    {0x2014, " - "}, {0x2015, " - "}, {0x2018, "'"},  {0x2019, "'"},  {0x201A, "'"},
    {0x201B, "'"},   {0x201C, "\""},  {0x201D, "\""}, {0x201E, "\""}, {0x201F, "\""},
    {0x2026, "..."}, {0x2032, "'"},   {0x2033, "\""}, {0x2039, "'"},  {0x203A, "'"},
    {0x2060, ""},    {0x2212, "-"},   {0xFEFF, ""},
};

const char* replacementFor(char16_t c) {
    const auto* it =
        std::lower_bound(std::begin(kReplacements), std::end(kReplacements), c,
                         [](const Replacement& r, char16_t value) { return r.from < value; });
    return it != std::end(kReplacements) && it->from == c ? it->to : nullptr;
}

bool isAsciiAlnum(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// What flite should read for one character outside ASCII; empty drops it.
std::string transliterate(char16_t c) {
    if (const char* replacement = replacementFor(c))
        return replacement;
    const QChar ch(c);
    if (ch.isMark())
        return {}; // a combining accent, already spoken with its letter
    if (ch.isDigit())
        return std::string(1, char('0' + ch.digitValue()));
    if (ch.isLetter()) {
        std::string base;
        for (const QChar part : QString(ch).normalized(QString::NormalizationForm_KD))
            if (isAsciiAlnum(part.unicode()))
                base += char(part.unicode());
        if (!base.empty())
            return base;
    }
    return " "; // a space, another script or a symbol: keep the words around it apart
}

AsciiText toAscii(QStringView text) {
    AsciiText out;
    out.text.reserve(std::size_t(text.size()));
    out.begin.reserve(std::size_t(text.size()));
    out.end.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        const int from = int(i);
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            const char ascii = c == 0 ? ' ' : char(c);
            out.append(std::string_view(&ascii, 1), from, from + 1);
            ++i;
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                   QChar::isLowSurrogate(text[i + 1].unicode())) {
            out.append(" ", from, from + 2);
            i += 2;
        } else {
            out.append(transliterate(c), from, from + 1);
            ++i;
        }
    }
    return out;
}

// --- Words and audio -------------------------------------------------------------

// Where a token's speech starts, in seconds: the end of the segment before its first
// segment. Negative for a token that produced no speech (a lone dash, say).
float tokenStart(cst_item* token) {
    for (cst_item* word = item_daughter(token); word; word = item_next(word)) {
        const cst_item* structure = item_as(word, "SylStructure");
        const cst_item* syllable = structure ? item_daughter(structure) : nullptr;
        const cst_item* segment = syllable ? item_daughter(syllable) : nullptr;
        if (!segment)
            continue;
        const cst_item* previous = item_prev(item_as(segment, "Segment"));
        return previous ? item_feat_float(previous, "end") : 0.0f;
    }
    return -1.0f;
}

// One synthesize() call: hands words and samples to the output in order, whether
// flite streams the wave while it synthesizes or it only comes at the end.
class Delivery {
public:
    Delivery(const AsciiText& text, int sampleRate, ChunkOutput& out)
        : m_text(text), m_sampleRate(sampleRate), m_out(out) {}

    // Samples [0, available) of the wave are ready; last when no more will come.
    // Returns false once the output has cancelled.
    bool feed(const cst_utterance* utterance, const cst_wave* wave, std::int64_t available,
              bool last) {
        if (m_cancelled)
            return false;
        if (!m_haveWords) {
            collectWords(utterance);
            m_haveWords = true;
        }
        while (m_delivered < available) {
            const std::int64_t count = std::min(kPiece, available - m_delivered);
            if (count < kPiece && !last)
                break;
            const std::int64_t end = m_delivered + count;
            sendWordsBefore(last && end == available ? kNoLimit : end);
            if (!m_out.audio(wave->samples + m_delivered, std::size_t(count))) {
                m_cancelled = true;
                return false;
            }
            m_delivered = end;
        }
        if (last)
            sendWordsBefore(kNoLimit);
        return true;
    }

    bool cancelled() const { return m_cancelled; }

    std::exception_ptr error; // thrown by the output inside flite's callback

private:
    // One mark per token that produced speech: "$100" is one token but three words,
    // and the reader highlights what the reader sees.
    void collectWords(const cst_utterance* utterance) {
        std::size_t searchFrom = 0;
        for (cst_item* token = relation_head(utt_relation(utterance, "Token")); token;
             token = item_next(token)) {
            const std::string_view name = item_feat_string(token, "name");
            if (name.empty())
                continue;
            // Token positions from flite count bytes of its own token stream; the
            // names appear in our text in order, so find them there instead.
            const std::size_t at = m_text.text.find(name, searchFrom);
            if (at == std::string::npos)
                continue;
            const float start = tokenStart(token);
            if (start < 0)
                continue;
            searchFrom = at + name.size();
            const int position = m_text.begin[at];
            m_words.push_back({position, m_text.end[at + name.size() - 1] - position,
                               std::llround(double(start) * m_sampleRate)});
        }
    }

    void sendWordsBefore(std::int64_t sample) {
        while (m_nextWord < m_words.size() && m_words[m_nextWord].sample < sample)
            m_out.word(m_words[m_nextWord++]);
    }

    const AsciiText& m_text;
    const int m_sampleRate;
    ChunkOutput& m_out;
    std::vector<WordMark> m_words;
    std::size_t m_nextWord = 0;
    bool m_haveWords = false;
    std::int64_t m_delivered = 0;
    bool m_cancelled = false;
};

int streamChunk(const cst_wave* wave, int start, int size, int last,
                cst_audio_streaming_info* asi) {
    auto* delivery = static_cast<Delivery*>(asi->userdata);
    try {
        return delivery->feed(asi->utt, wave, std::int64_t(start) + size, last != 0)
                   ? CST_AUDIO_STREAM_CONT
                   : CST_AUDIO_STREAM_STOP;
    } catch (...) {
        // Exceptions must not unwind through flite's C frames.
        delivery->error = std::current_exception();
        return CST_AUDIO_STREAM_STOP;
    }
}

struct UtteranceDeleter {
    void operator()(cst_utterance* utterance) const { delete_utterance(utterance); }
};

class FliteSynthesizer final : public Synthesizer {
public:
    explicit FliteSynthesizer(const FliteFamily::Voice& voice) : m_voice(voice) {}

    int sampleRate() const override { return m_voice.sampleRate; }
    // flite holds a whole utterance's structures at once: about 90 MB for 1500
    // characters, 40 MB for 400, at the same speed.
    int filePieceLength() const override { return 400; }

    bool synthesize(QStringView text, const SynthSettings& settings, ChunkOutput& out) override {
        const AsciiText ascii = toAscii(text);
        if (std::none_of(ascii.text.begin(), ascii.text.end(),
                         [](char c) { return isAsciiAlnum(char16_t(c)); }))
            return true; // nothing flite would say, only a pause

        std::unique_ptr<cst_utterance, UtteranceDeleter> utterance(new_utterance());
        utt_set_input_text(utterance.get(), ascii.text.c_str());
        utt_init(utterance.get(), m_voice.voice);

        // Settings go on the utterance's own features, which shadow the voice's: the
        // voice is shared by every thread speaking with it.
        const int speed = std::clamp(settings.speed, m_voice.speed.min, m_voice.speed.max);
        const int pitch = std::clamp(settings.pitch, m_voice.pitch.min, m_voice.pitch.max);
        feat_set_float(utterance->features, "duration_stretch",
                       float(m_voice.speed.normal) / float(speed));
        feat_set_float(utterance->features, "int_f0_target_mean", float(pitch));

        Delivery delivery(ascii, m_voice.sampleRate, out);
        cst_audio_streaming_info* asi = new_audio_streaming_info();
        asi->min_buffsize = int(kPiece);
        asi->asc = streamChunk;
        asi->userdata = &delivery;
        // The feature owns asi and frees it with the utterance.
        feat_set(utterance->features, "streaming_info", audio_streaming_info_val(asi));

        if (!utt_synth(utterance.get()))
            throw EngineError(EngineError::kEngineFailure,
                              "flite could not synthesize with voice " +
                                  m_voice.name.toStdString());
        if (delivery.error)
            std::rethrow_exception(delivery.error);
        if (delivery.cancelled())
            return false;
        // Diphone voices without streaming support hand over the whole wave here.
        const cst_wave* wave = utt_wave(utterance.get());
        return delivery.feed(utterance.get(), wave, wave ? wave->num_samples : 0, true);
    }

private:
    const FliteFamily::Voice& m_voice;
};

} // namespace

FliteFamily::FliteFamily() : m_voices(registeredVoices()) {}

QList<VoiceDescription> FliteFamily::voices() const {
    QList<VoiceDescription> list;
    list.reserve(qsizetype(m_voices.size()));
    for (const Voice& voice : m_voices)
        list.append({voice.name, QStringLiteral("en-us")});
    return list;
}

const FliteFamily::Voice& FliteFamily::voiceAt(int voice) const {
    if (voice < 0 || std::size_t(voice) >= m_voices.size())
        throw EngineError(EngineError::kInvalidArgument,
                          "there is no flite voice " + std::to_string(voice));
    return m_voices[std::size_t(voice)];
}

UnitRange FliteFamily::speedRange(int voice) const {
    return voiceAt(voice).speed;
}

UnitRange FliteFamily::pitchRange(int voice) const {
    return voiceAt(voice).pitch;
}

std::shared_ptr<Synthesizer> FliteFamily::synthesizer(int voice) {
    return std::make_shared<FliteSynthesizer>(voiceAt(voice));
}

} // namespace sonorel::platform::speech
