#pragma once
// Speech saved as a WAV or MP3 file: one save at a time, carried from stage to
// stage by its own timers and by the voices' end events, never by waiting.
//
//   generation 4: Timer101 (once: take the WAV) -> Timer1 (WAV progress until
//                 "WaveEnd" says 1) -> for an MP3 the encoder, Timer102, Timer2
//   generation 5: the writer's EndStream -> for an MP3 the encoder, Timer102, Timer2
//   MP3:          Wavelin1_WaveStop starts the encoder once -> Timer102 (until its
//                 MP3 exists) -> Timer2 (MP3 progress until the encoder has ended)
//
// An MP3 is made from a temporary WAV ("tmp$.wav" into "tmp$.mp3" in the given
// folder); both are removed before it starts and when it ends. Whoever starts a
// save hears of it only through the signals: progress for a caption, finished or
// failed once.

#include "export/growingfile.h"
#include "export/processwatch.h"
#include "export/report.h"
#include "export/wavrendering.h"
#include "platform/clock.h"
#include "platform/programfolder.h"
#include "shared/vbtimer.h"

#include <QObject>

namespace sonorel::platform::speech {
class Sapi4Voice;
}

namespace sonorel::exporting {

// The services a save needs for as long as it lives.
struct RecordingServices {
    platform::RegistryStore& registry;    // the wave-output control's "WaveEnd"
    platform::Clock& clock;               // elapsed time
    platform::ProcessLauncher& processes; // the encoder
    platform::ProgramFolder& folder;      // an encoder beside the program comes first
};

struct RecordingRequest {
    QString text;        // what is spoken, as it is
    int generation = 0;  // 4 or 5
    bool mp3 = false;    // else a WAV
    QString target;      // the file this save writes, and no other
    QString tempFolder;  // where an MP3's intermediate files go
    QDateTime started;   // when the save was asked for; elapsed time counts from here
    QString voice;       // the voice list entry; its name picks the voice
    QString rate, pitch; // the rate and pitch labels; the rate gives the size estimate
    // The voices it borrows for the length of the save: the reading voice whose
    // settings it takes, and the object that writes the file, of its generation.
    const platform::speech::Sapi4Voice* reading4 = nullptr;
    platform::speech::Wavelin* writer4 = nullptr;
    const platform::speech::SpVoice* reading5 = nullptr;
    platform::speech::SpVoice* writer5 = nullptr;
};

// Everything of the save that runs, or ran last.
struct RecordingState {
    bool running = false;
    int generation = 0;
    int TargetFileType = 0; // 3 MP3, 4 WAV
    QString RecTarget, TempWav, TempMp3;
    QString RecVoice, RecRate, RecPitch;
    QDateTime RecStart;
    std::int64_t RecElapsed = 0; // seconds since RecStart, at the last progress tick
    QString sText;
    std::int64_t TextLen = 0;
    QString sName;
    int ISpeed = 0, IPitch = 0, IRealTime = 2048;
    std::optional<double> EstimateWaveSize, EstimateMp3Size; // nothing: no estimate
    std::int64_t WaveSize = 0;
    int PercentWave = 0;
    GrowingFile RecFile, Mp3File;
    WavelinRendering render4;
    VoiceFileRendering render5;
    bool encoderAsked = false;
    QString Wav2Mp3;
    ProcessWatch encoder;
    // The borrowed writers, whose signals reach the save while it runs.
    platform::speech::Wavelin* writer4 = nullptr;
    platform::speech::SpVoice* writer5 = nullptr;
};

class SpeechRecording final : public QObject {
    Q_OBJECT
public:
    explicit SpeechRecording(RecordingServices services, QObject* parent = nullptr);

    // Starts the save and returns at once. False, with nothing done, while a save
    // runs or when the request's generation has no voice objects.
    bool start(const RecordingRequest& request);
    // The program ends: the rendering and the encoder are stopped, the temporary
    // files removed; no signal comes. A WAV written straight to its target keeps
    // what was rendered so far.
    void abandon();
    bool isRunning() const { return m_state.running; }
    const RecordingState& state() const { return m_state; }

    // The stages (public so that tests can tick them).
    void Timer101_Timer();    // once: take the WAV being written for size checks
    void Timer1_Timer();      // generation-4 WAV progress and completion
    void Timer102_Timer();    // until the encoder's MP3 exists
    void Timer2_Timer();      // MP3 progress and the encoder's end
    void Wavelin1_WaveStop(); // starts the encoder (once per save)
    // The generation-5 rendering's end: the WAV is complete (or failed).
    void WaveVoice1_EndStream(int streamNumber, qint64 streamPosition);

    VbTimer* Timer101 = nullptr;
    VbTimer* Timer1 = nullptr;
    VbTimer* Timer102 = nullptr;
    VbTimer* Timer2 = nullptr;

signals:
    // How far the save has come (0..100; above 100 the encoder outgrew its estimate).
    void progress(int percent, qint64 elapsedSeconds);
    // The save shows no figure any more (it ended, or failed).
    void progressCleared();
    void finished(const sonorel::exporting::FinishReport& report);
    void failed(const sonorel::exporting::RecordingFailure& failure);

private:
    void recordSapi4(const RecordingRequest& request);
    void recordSapi5(const RecordingRequest& request);
    void stopStages();
    void finish();
    void fail(const RecordingFailure& failure);
    void keepWaveInstead(const QString& why);

    RecordingServices m_services;
    RecordingState m_state;
};

} // namespace sonorel::exporting
