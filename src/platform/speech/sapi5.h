#pragma once
// Generation-5 voice objects over the espeak-ng family: voice tokens addressed by
// position, Rate -10..10 and Volume 0..100, asynchronous Speak with purge, and a
// file stream that makes Speak write a WAV file instead of sounding.

#include "platform/speech/session.h"
#include "platform/speech/wavrender.h"

#include <atomic>
#include <QObject>
#include <QPointer>
#include <thread>

namespace sonorel::platform::speech {

enum SpeechVoiceSpeakFlags { SVSFDefault = 0, SVSFlagsAsync = 1, SVSFPurgeBeforeSpeak = 2 };
enum SpeechStreamFileMode { SSFMOpenForRead = 0, SSFMCreateForWrite = 3 };

struct SpObjectToken {
    int index = -1; // position in the collection of all voices
    QString description;
    QString GetDescription() const { return description; }
    bool operator==(const SpObjectToken&) const = default;
};

// The engine speed of a generation-5 rate (-10..10) within the voice's range.
int speedForRate(const UnitRange& speed, int rate);

// A WAV file that speech can be written into.
class SpFileStream final {
public:
    // Only mode 3 (create for writing) is supported; false otherwise.
    bool Open(const QString& path, int mode = SSFMCreateForWrite);
    void Close();
    QString path() const { return m_path; }
    bool isOpen() const { return m_open; }

private:
    QString m_path;
    bool m_open = false;
};

class SpVoice final : public QObject {
    Q_OBJECT
public:
    SpVoice(EngineFamily& engines, SinkFactory sinks, QObject* parent = nullptr);
    ~SpVoice() override;

    // Every voice, in the engine's order (filters are accepted and ignored).
    QList<SpObjectToken> GetVoices(const QString& required = {},
                                   const QString& optional = {}) const;
    SpObjectToken Voice() const { return m_voice; }
    // Throws EngineError when the voice cannot be loaded; the voice is then unchanged.
    void setVoice(const SpObjectToken& token);

    int Rate() const { return m_rate; }
    void setRate(int rate); // -10..10; outside values are brought inside
    int Volume() const { return m_volume; }
    void setVolume(int volume); // 0..100

    // Where Speak goes: a file stream, or nothing for the sound output. The stream
    // must stay alive while speech is written into it.
    void setAudioOutputStream(SpFileStream* stream) { m_stream = stream; }
    SpFileStream* AudioOutputStream() const { return m_stream; }

    // Returns the stream number, 0 when nothing was queued (an empty text, or no
    // voice). Without SVSFlagsAsync it returns when the speech is done.
    int Speak(const QString& text, int flags = SVSFDefault);
    void Pause();
    void Resume();
    // Runs pending events while it waits; -1 waits without limit. True when done.
    bool WaitUntilDone(int timeoutMs);

    // The sound output in use ("pulseaudio", "silent", ...), once speech has played.
    QString outputName() const { return m_session.outputName(); }
    // What the last file rendering reported (empty when it succeeded).
    QString lastFileError() const { return m_fileError; }

signals:
    void StartStream(int streamNumber, qint64 streamPosition);
    // streamPosition: bytes of 16-bit mono audio before the word.
    void Word(int streamNumber, qint64 streamPosition, int characterPosition, int length);
    void EndStream(int streamNumber, qint64 streamPosition);

private:
    void applySettings();
    void speakToFile(int stream, const QString& text);
    void stopFileRendering();

    EngineFamily& m_engines;
    SpeechSession m_session;
    SpObjectToken m_voice;
    int m_rate = 0;
    int m_volume = 100;
    SpFileStream* m_stream = nullptr;

    // File rendering runs on its own thread.
    std::thread m_fileThread;
    std::atomic<bool> m_fileCancel{false};
    bool m_filePending = false; // a file stream whose end has not been delivered yet
    QString m_fileError;
};

} // namespace sonorel::platform::speech
