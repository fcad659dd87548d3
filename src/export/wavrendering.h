#pragma once
// Speech rendered into a WAV file, in either generation, without waiting for the
// voice. Generation 4 goes through the wave-output control, which writes on its
// own thread and says it is done by the registry-store value "WaveEnd" becoming
// 1 and then by its WaveStop signal: the owner polls the value on a timer.
// Generation 5 goes through a file-writing voice and a file stream: the voice's
// EndStream signal, which the owner connects, says the file is complete.

#include "platform/registrystore.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/wavelin.h"

#include <optional>
#include <QString>

namespace sonorel::exporting {

class WavelinRendering final {
public:
    struct Job {
        QString text, path;
        QString voiceName;        // the voice list text without its suffix
        int speed = 0, pitch = 0; // engine units of that voice
        int realTime = 2048;
    };
    // Starts `control` writing `job.path`; returns at once.
    void start(platform::speech::Wavelin& control, platform::RegistryStore& registry,
               const Job& job);
    // The progress tick's question: nothing while the control writes. Once
    // "WaveEnd" says 1, the value is set to 3 (seen) and the outcome returned:
    // empty when the WAV is complete, else why it is not.
    std::optional<QString> poll();
    // True while "WaveEnd" says 1: this rendering is complete and poll() has not
    // taken the value yet. A stop notice of an earlier rendering that comes late
    // finds it false (the value is 2 while a rendering runs).
    bool complete() const;
    // True when the control's last rendering failed (its WaveStop comes all the same).
    bool failed() const;
    // Stops the control and waits for its thread; what was written stays.
    void stop();

private:
    platform::speech::Wavelin* m_control = nullptr;
    platform::RegistryStore* m_registry = nullptr;
};

class VoiceFileRendering final {
public:
    // Gives `writer` the voice, volume and rate of `reading` (a voice that cannot
    // be loaded leaves the writer's own), opens the stream on `path` and speaks
    // `text` into it. Returns the stream number whose EndStream ends the
    // rendering; 0 when nothing was queued, so that no end will come.
    int start(platform::speech::SpVoice& writer, const platform::speech::SpVoice& reading,
              const QString& path, const QString& text);
    // True for the end event of the rendering start() began, until it is finished.
    bool isOurs(int streamNumber) const { return m_writer && streamNumber == m_streamNumber; }
    // After the end event: closes the stream and takes it from the writer.
    // Empty when the WAV was written, else why not.
    QString finish();
    // Stops the rendering (waiting for its thread) and closes the stream; what was
    // written stays. Its late end event is no longer ours.
    void stop();

private:
    platform::speech::SpVoice* m_writer = nullptr;
    platform::speech::SpFileStream m_stream;
    int m_streamNumber = 0;
};

} // namespace sonorel::exporting
