#pragma once
// The batch job's engine: one text file after the other spoken into a WAV and,
// for an MP3 job, encoded. Four chains of timer stages, one per job kind and
// generation, with the window's fourteen timers:
//
//   MP3, generation 4: Timer41 start, Timer42 WAV wait, Timer43 WAV progress,
//                      Timer44 MP3 wait, Timer45 MP3 progress
//   MP3, generation 5: Timer51 start, Timer52 speak, Timer54 MP3 wait, Timer55 MP3 progress
//   WAV, generation 4: TimerWAV41 start, TimerWAV42 WAV wait, TimerWAV43 WAV progress
//   WAV, generation 5: TimerWAV51 start, TimerWAV52 speak
//
// After a file's last stage the chain's start stage takes the next file, or the
// job ends. Like-named stages are one function given the job's kind and
// generation. A stage polls every 500 ms; one whose condition is already met
// when it is armed, or is met by an event (the voice's end, the wave-output
// control's stop, the encoder's exit), runs at once instead of waiting for the
// next tick (quick stages; off, every stage waits for its tick).
//
// Nothing waits: the generation-5 speak stage speaks asynchronously and finishes
// on the voice's end event. A file that cannot be read, is empty, or whose voice
// or encoder fails is skipped with a word in the progress line, and the job goes on.

#include "app/reader.h"
#include "batch/batchpaths.h"
#include "export/growingfile.h"
#include "export/processwatch.h"
#include "export/wavrendering.h"
#include "platform/clock.h"
#include "platform/programfolder.h"
#include "shared/vbtimer.h"

#include <functional>
#include <QDateTime>
#include <QObject>

namespace sonorel::batch {

// The services a job needs while it lives.
struct BatchServices {
    platform::RegistryStore& registry;    // the wave-output control's "WaveEnd"
    platform::Clock& clock;               // elapsed time
    platform::ProcessLauncher& processes; // the encoder
    platform::ProgramFolder& folder;      // an encoder beside the program comes first
};

// What the main window shows now, asked when each file starts (voices) and at
// each progress tick (the voice list text).
struct VoiceSource {
    std::function<app::RecordingVoices()> voices;
    std::function<QString()> voiceEntry;
};

struct BatchState {
    JobKind kind = JobKind::Mp3;
    int generation = 0;
    JobLists lists;
    int CurrentIndex = 0; // the file being worked on, from 1
    bool JobIdle = true;
    QDateTime RecStart;
    std::int64_t RecElapsed = 0;
    // The current file.
    int ISpeed = 0, IPitch = 0, IRealTime = 2048;
    QString sText, sName;
    std::int64_t TextLen = 0;
    std::optional<double> EstimateWaveSize, EstimateMp3Size;
    std::int64_t WaveSize = 0;
    int PercentWave = 0;
    QString Wav2Mp3;
    exporting::GrowingFile waveFile, mp3File;
    exporting::WavelinRendering render4;
    exporting::VoiceFileRendering render5;
    exporting::ProcessWatch encoder;
    bool encoderAsked = false;
    bool speaking = false;        // a generation-5 file renders; its end event finishes it
    bool stoppedSpeaking = false; // ... and the job was stopped meanwhile
    QString speakError;           // why the last spoken file has no WAV; empty when it has
    platform::speech::Wavelin* writer4 = nullptr;
    platform::speech::SpVoice* writer5 = nullptr;
    // The outcome so far.
    int converted = 0;
    QStringList skipped; // "name (why)"
};

class BatchConversion final : public QObject {
    Q_OBJECT
public:
    BatchConversion(BatchServices services, VoiceSource source, QObject* parent = nullptr);
    ~BatchConversion() override;

    // Starts a job of `kind` for `generation` (4 or 5) over `lists`. The first
    // stage is armed; for another generation nothing is armed and only stop()
    // ends the job. False, with nothing done, while a job or the rendering of a
    // stopped file still runs.
    bool start(JobKind kind, int generation, const JobLists& lists, const QDateTime& started);
    // Disarms every stage (TimerStop). A stage in progress completes: a
    // generation-5 file being spoken is finished and, in an MP3 job, its encoder
    // started; nothing later runs and no file is removed.
    void stop();
    // The window goes away while a job runs (the program ends): the rendering and
    // the encoder are stopped and the current file's intermediate files removed.
    void abandon();
    bool isRunning() const { return !m_state.JobIdle; }
    // True while a job runs or a stopped file is still being rendered.
    bool isBusy() const;
    const BatchState& state() const { return m_state; }

    // Off: every stage waits for its tick (the poll alone, as the benchmark compares).
    void setQuickStages(bool on) { m_quick = on; }

    // The stages, public so that tests can tick them.
    // A stage runs only while its own timer is armed in the job's chain.
    void Timer41_Timer() { startStage(Timer41); }
    void Timer42_Timer() { waveWaitStage(Timer42); }
    void Timer43_Timer() { waveProgressStage(Timer43); }
    void Timer44_Timer() { mp3WaitStage(Timer44); }
    void Timer45_Timer() { mp3ProgressStage(Timer45); }
    void Timer51_Timer() { startStage(Timer51); }
    void Timer52_Timer() { speakStage(Timer52); }
    void Timer54_Timer() { mp3WaitStage(Timer54); }
    void Timer55_Timer() { mp3ProgressStage(Timer55); }
    void TimerWAV41_Timer() { startStage(TimerWAV41); }
    void TimerWAV42_Timer() { waveWaitStage(TimerWAV42); }
    void TimerWAV43_Timer() { waveProgressStage(TimerWAV43); }
    void TimerWAV51_Timer() { startStage(TimerWAV51); }
    void TimerWAV52_Timer() { speakStage(TimerWAV52); }
    // The wave-output control's end of a WAV: starts the encoder (once per file).
    void Wavelin1_WaveStop();
    // The file-writing voice's end of a WAV.
    void WaveVoice1_EndStream(int streamNumber, qint64 streamPosition);

    VbTimer *Timer41 = nullptr, *Timer42 = nullptr, *Timer43 = nullptr, *Timer44 = nullptr,
            *Timer45 = nullptr;
    VbTimer *Timer51 = nullptr, *Timer52 = nullptr, *Timer54 = nullptr, *Timer55 = nullptr;
    VbTimer *TimerWAV41 = nullptr, *TimerWAV42 = nullptr, *TimerWAV43 = nullptr;
    VbTimer *TimerWAV51 = nullptr, *TimerWAV52 = nullptr;
    QList<VbTimer*> timers() const;

signals:
    // The counter: the file that starts, of how many.
    void fileStarted(int index, int count);
    // The progress line, or the word about a skipped file.
    void progressLine(const QString& line);
    // The last file is done; stop() has run. `skipped`: "name (why)" each.
    void finished(int converted, const QStringList& skipped);

private:
    struct Chain {
        VbTimer *start, *waveWait, *waveProgress, *speak, *mp3Wait, *mp3Progress;
    };
    Chain chain() const;
    bool mp3() const { return m_state.kind == JobKind::Mp3; }
    QString outputWave() const;
    QString fileName() const;

    void startStage(VbTimer* timer);
    void waveWaitStage(VbTimer* timer);
    void waveProgressStage(VbTimer* timer);
    void speakStage(VbTimer* timer);
    void mp3WaitStage(VbTimer* timer);
    void mp3ProgressStage(VbTimer* timer);
    // True when `timer` is the stage's timer in the job's chain and is armed.
    static bool armed(VbTimer* timer, VbTimer* stage) {
        return timer && timer == stage && stage->interval() > 0;
    }
    void startEncoder();
    // A file's WAV is complete (or failed with `error`): count it, or start its
    // encoder in an MP3 job.
    void waveDone(const QString& error);
    void encoderEnded(qint64 pid);
    void finishSpeaking();
    void nextFileOrFinish();
    // Reports the current file as skipped and goes on; `output` also removes
    // what the voice wrote of it.
    void skipFile(const QString& why, bool output);
    void removeIntermediates();
    void arm(VbTimer* timer);
    void disarm(VbTimer* timer) {
        if (timer)
            timer->setInterval(0);
    }
    // Runs an armed stage now (quick stages), else leaves it to its tick.
    void runIfArmed(VbTimer* timer);
    void writeProgress(int percent);
    void letGoOfWriters();

    BatchServices m_services;
    VoiceSource m_source;
    BatchState m_state;
    bool m_quick = true;
};

} // namespace sonorel::batch
