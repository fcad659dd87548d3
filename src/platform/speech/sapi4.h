#pragma once
// Generation-4 voice objects over the flite family: engines numbered from 1, speed
// and pitch in engine units, two channel volumes. DirectSS reads the main text and
// reports audio, text and word-position events; TextToSpeech speaks the clock's
// and the slide reader's words.

#include "platform/speech/session.h"

#include <QMap>
#include <QObject>

namespace sonorel::platform::speech {

class Sapi4Voice : public QObject {
    Q_OBJECT
public:
    Sapi4Voice(EngineFamily& engines, SinkFactory sinks, QObject* parent);

    // The initialisation property: kept, nothing depends on it.
    int Initialized() const { return m_initialized; }
    void setInitialized(int value) { m_initialized = value; }

    int CountEngines() const;
    // Engines count from 1; an engine that does not exist throws EngineError 5.
    QString ModeName(int engine) const;
    void Select(int engine);
    int CurrentMode() const { return m_engine; }

    // Within the selected engine's range (values outside are brought inside).
    int Speed() const;
    void setSpeed(int speed);
    int MinSpeed() const { return range(true).min; }
    int MaxSpeed() const { return range(true).max; }
    int Pitch() const;
    void setPitch(int pitch);
    int MinPitch() const { return range(false).min; }
    int MaxPitch() const { return range(false).max; }

    // 0..65535 on the left and right output channel.
    int LeftVolume() const { return m_left; }
    int RightVolume() const { return m_right; }
    void setLeftVolume(int volume);
    void setRightVolume(int volume);

protected:
    SpeechSession& session() { return m_session; }
    const SpeechSession& session() const { return m_session; }

private:
    void checkEngine(int engine) const;
    UnitRange range(bool speed) const;
    void applySettings();

    EngineFamily& m_engines;
    SpeechSession m_session;
    int m_initialized = 0;
    int m_engine = 0; // 0 until an engine is selected
    // Each engine keeps its own speed and pitch, as separate engines would.
    QMap<int, SynthSettings> m_settings;
    int m_left = 65535, m_right = 65535;
};

class DirectSS final : public Sapi4Voice {
    Q_OBJECT
public:
    explicit DirectSS(EngineFamily& engines, SinkFactory sinks, QObject* parent = nullptr);

    // Starts speaking `text` and returns at once (character set and flags are
    // kept for the caller's sake; text is always Unicode here).
    void TextData(int characterSet, int flags, const QString& text);
    // Pausing raises AudioStop and resuming AudioStart, as the end and start of audio.
    void AudioPause();
    void AudioResume();
    // Stops, discards everything queued and lifts a pause.
    void AudioReset();

signals:
    // hi/lo: the two 32-bit halves of the audio time stamp, in 100 ns units.
    void AudioStart(int hi, int lo);
    void TextDataStarted(int hi, int lo);
    // byteoffset: 2 x the UTF-16 index of the word in the text given.
    void WordPosition(int hi, int lo, int byteoffset);
    void AudioStop(int hi, int lo);
    void TextDataDone(int hi, int lo, int flags);

private:
    void stamp(qint64 sample, int& hi, int& lo) const;
};

class TextToSpeech final : public Sapi4Voice {
    Q_OBJECT
public:
    explicit TextToSpeech(EngineFamily& engines, SinkFactory sinks, QObject* parent = nullptr);

    void Speak(const QString& text);
    void StopSpeaking();
    bool IsSpeaking() const { return session().busy(); }

signals:
    void SpeakingStarted();
    void SpeakingDone();
};

} // namespace sonorel::platform::speech
