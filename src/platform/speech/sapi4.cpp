#include "platform/speech/sapi4.h"

#include <algorithm>

namespace sonorel::platform::speech {

Sapi4Voice::Sapi4Voice(EngineFamily& engines, SinkFactory sinks, QObject* parent)
    : QObject(parent), m_engines(engines), m_session(std::move(sinks)) {}

int Sapi4Voice::CountEngines() const {
    return int(m_engines.voices().size());
}

void Sapi4Voice::checkEngine(int engine) const {
    if (engine < 1 || engine > CountEngines())
        throw EngineError(EngineError::kInvalidArgument,
                          "Invalid procedure call or argument: no engine " +
                              std::to_string(engine));
}

QString Sapi4Voice::ModeName(int engine) const {
    checkEngine(engine);
    return m_engines.voices().at(engine - 1).name;
}

void Sapi4Voice::Select(int engine) {
    checkEngine(engine);
    auto synth = m_engines.synthesizer(engine - 1);
    if (!m_settings.contains(engine))
        m_settings.insert(engine, {m_engines.speedRange(engine - 1).normal,
                                   m_engines.pitchRange(engine - 1).normal});
    m_engine = engine;
    m_session.setSynthesizer(std::move(synth));
    applySettings();
}

UnitRange Sapi4Voice::range(bool speed) const {
    if (m_engine == 0)
        throw EngineError(EngineError::kInvalidArgument, "no engine selected");
    return speed ? m_engines.speedRange(m_engine - 1) : m_engines.pitchRange(m_engine - 1);
}

int Sapi4Voice::Speed() const {
    range(true);
    return m_settings.value(m_engine).speed;
}

void Sapi4Voice::setSpeed(int speed) {
    const UnitRange r = range(true);
    m_settings[m_engine].speed = std::clamp(speed, r.min, r.max);
    applySettings();
}

int Sapi4Voice::Pitch() const {
    range(false);
    return m_settings.value(m_engine).pitch;
}

void Sapi4Voice::setPitch(int pitch) {
    const UnitRange r = range(false);
    m_settings[m_engine].pitch = std::clamp(pitch, r.min, r.max);
    applySettings();
}

void Sapi4Voice::applySettings() {
    m_session.setSettings(m_settings.value(m_engine));
}

void Sapi4Voice::setLeftVolume(int volume) {
    m_left = std::clamp(volume, 0, 65535);
    m_session.setGains(m_left / 65535.0f, m_right / 65535.0f);
}

void Sapi4Voice::setRightVolume(int volume) {
    m_right = std::clamp(volume, 0, 65535);
    m_session.setGains(m_left / 65535.0f, m_right / 65535.0f);
}

DirectSS::DirectSS(EngineFamily& engines, SinkFactory sinks, QObject* parent)
    : Sapi4Voice(engines, std::move(sinks), parent) {
    connect(&session(), &SpeechSession::streamStarted, this, [this] {
        int hi, lo;
        stamp(0, hi, lo);
        emit AudioStart(hi, lo);
        emit TextDataStarted(hi, lo);
    });
    connect(&session(), &SpeechSession::wordReached, this,
            [this](int, qint64 sample, int position, int) {
                int hi, lo;
                stamp(sample, hi, lo);
                emit WordPosition(hi, lo, 2 * position);
            });
    connect(&session(), &SpeechSession::streamEnded, this, [this](int, qint64 sample) {
        int hi, lo;
        stamp(sample, hi, lo);
        emit AudioStop(hi, lo);
        emit TextDataDone(hi, lo, 0);
    });
}

void DirectSS::stamp(qint64 sample, int& hi, int& lo) const {
    const int rate = session().synthesizer() ? session().synthesizer()->sampleRate() : 0;
    const quint64 ticks = rate > 0 ? quint64(sample) * 10'000'000ull / quint64(rate) : 0;
    hi = int(ticks >> 32);
    lo = int(ticks & 0xFFFFFFFFu);
}

void DirectSS::TextData(int, int, const QString& text) {
    session().speak(text);
}

void DirectSS::AudioPause() {
    // Once pause() returns no further word is reported, so the stop comes last.
    const bool wasPlaying = session().busy() && !session().isPaused();
    session().pause();
    if (wasPlaying)
        QMetaObject::invokeMethod(
            this, [this] { emit AudioStop(0, 0); }, Qt::QueuedConnection);
}

void DirectSS::AudioResume() {
    // Queued before the audio moves again, so it comes before the next word.
    if (session().isPaused() && session().busy())
        QMetaObject::invokeMethod(
            this, [this] { emit AudioStart(0, 0); }, Qt::QueuedConnection);
    // Paused just as the text ran out: its end was reported during the pause,
    // so the resumed reading ends at once instead of waiting for nothing.
    else if (session().isPaused())
        QMetaObject::invokeMethod(
            this, [this] { emit AudioStop(0, 0); }, Qt::QueuedConnection);
    session().resume();
}

void DirectSS::AudioReset() {
    session().resume();
    session().purge();
}

TextToSpeech::TextToSpeech(EngineFamily& engines, SinkFactory sinks, QObject* parent)
    : Sapi4Voice(engines, std::move(sinks), parent) {
    connect(&session(), &SpeechSession::streamStarted, this, &TextToSpeech::SpeakingStarted);
    connect(&session(), &SpeechSession::streamEnded, this, &TextToSpeech::SpeakingDone);
}

void TextToSpeech::Speak(const QString& text) {
    session().speak(text);
}

void TextToSpeech::StopSpeaking() {
    session().resume();
    session().purge();
}

} // namespace sonorel::platform::speech
