#include "batch/batchconversion.h"

#include "export/encoder.h"
#include "export/progress.h"
#include "platform/files.h"
#include "platform/speech/sapi4.h"
#include "platform/textfile.h"
#include "reading/readingrules.h"
#include "shared/skiponerror.h"
#include "shared/voiceentry.h"

#include <QFileInfo>
#include <QTimer>

namespace sonorel::batch {

namespace speech = platform::speech;

namespace {
constexpr int kTick = 500;       // ms between polls of a stage
constexpr int kKillWaitMs = 500; // a killed encoder is gone long before this
const QString kNoMp3 = QStringLiteral("the MP3 encoder ended without writing an MP3 file");

QString refusalText(const platform::TextFileResult& loaded) {
    switch (loaded.refusal) {
    case platform::TextFileRefusal::Missing:
        return QStringLiteral("the file is missing");
    case platform::TextFileRefusal::Folder:
    case platform::TextFileRefusal::NotRegular:
        return QStringLiteral("it is not a plain file");
    case platform::TextFileRefusal::TooLarge:
        return QStringLiteral("it is larger than 16 MB");
    default:
        return QStringLiteral("it cannot be read: ") + loaded.reason;
    }
}
} // namespace

BatchConversion::BatchConversion(BatchServices services, VoiceSource source, QObject* parent)
    : QObject(parent), m_services(services), m_source(std::move(source)) {
    const auto make = [this](VbTimer*& timer, void (BatchConversion::*handler)()) {
        timer = new VbTimer(this);
        connect(timer, &VbTimer::timeout, this, handler);
    };
    make(Timer41, &BatchConversion::Timer41_Timer);
    make(Timer42, &BatchConversion::Timer42_Timer);
    make(Timer43, &BatchConversion::Timer43_Timer);
    make(Timer44, &BatchConversion::Timer44_Timer);
    make(Timer45, &BatchConversion::Timer45_Timer);
    make(Timer51, &BatchConversion::Timer51_Timer);
    make(Timer52, &BatchConversion::Timer52_Timer);
    make(Timer54, &BatchConversion::Timer54_Timer);
    make(Timer55, &BatchConversion::Timer55_Timer);
    make(TimerWAV41, &BatchConversion::TimerWAV41_Timer);
    make(TimerWAV42, &BatchConversion::TimerWAV42_Timer);
    make(TimerWAV43, &BatchConversion::TimerWAV43_Timer);
    make(TimerWAV51, &BatchConversion::TimerWAV51_Timer);
    make(TimerWAV52, &BatchConversion::TimerWAV52_Timer);
}

BatchConversion::~BatchConversion() {
    abandon();
}

QList<VbTimer*> BatchConversion::timers() const {
    return {Timer41, Timer42, Timer43,    Timer44,    Timer45,    Timer51,    Timer52,
            Timer54, Timer55, TimerWAV41, TimerWAV42, TimerWAV43, TimerWAV51, TimerWAV52};
}

BatchConversion::Chain BatchConversion::chain() const {
    const bool wav = m_state.kind == JobKind::Wav;
    switch (m_state.generation) {
    case 4:
        return wav ? Chain{TimerWAV41, TimerWAV42, TimerWAV43, nullptr, nullptr, nullptr}
                   : Chain{Timer41, Timer42, Timer43, nullptr, Timer44, Timer45};
    case 5:
        return wav ? Chain{TimerWAV51, nullptr, nullptr, TimerWAV52, nullptr, nullptr}
                   : Chain{Timer51, nullptr, nullptr, Timer52, Timer54, Timer55};
    default:
        return {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    }
}

bool BatchConversion::isBusy() const {
    const BatchState& s = m_state;
    return !s.JobIdle || s.speaking || (s.writer4 && s.writer4->isRecording());
}

bool BatchConversion::start(JobKind kind, int generation, const JobLists& lists,
                            const QDateTime& started) {
    if (isBusy())
        return false;
    BatchState& s = m_state;
    s = BatchState();
    s.kind = kind;
    s.generation = generation;
    s.lists = lists;
    s.RecStart = started;
    s.JobIdle = false;
    arm(chain().start);
    return true;
}

QString BatchConversion::outputWave() const {
    const int i = m_state.CurrentIndex - 1;
    return mp3() ? m_state.lists.WaveFiles.value(i) : m_state.lists.TargetWaveFiles.value(i);
}

QString BatchConversion::fileName() const {
    return QFileInfo(m_state.lists.SourceFiles.value(m_state.CurrentIndex - 1)).fileName();
}

void BatchConversion::arm(VbTimer* timer) {
    if (!timer)
        return;
    timer->setInterval(kTick);
    // A stage whose condition is met already runs now rather than in 500 ms; it
    // is asked once the stage that armed it has returned.
    if (m_quick)
        QTimer::singleShot(0, this, [timer] {
            if (timer->interval() > 0)
                emit timer->timeout();
        });
}

void BatchConversion::runIfArmed(VbTimer* timer) {
    if (m_quick && timer && timer->interval() > 0)
        emit timer->timeout();
}

void BatchConversion::writeProgress(int percent) {
    emit progressLine(exporting::progressLine(
        m_source.voiceEntry ? m_source.voiceEntry() : QString(), percent, m_state.RecElapsed));
}

void BatchConversion::startStage(VbTimer* timer) {
    BatchState& s = m_state;
    const Chain c = chain();
    if (!armed(timer, c.start))
        return;
    disarm(c.start);
    s.CurrentIndex += 1;
    emit fileStarted(s.CurrentIndex, s.lists.FileCount);
    // Nothing of the previous file is measured or reused.
    s.waveFile.release();
    s.mp3File.release();
    s.encoder = exporting::ProcessWatch();
    s.encoderAsked = false;
    s.EstimateWaveSize.reset();
    s.EstimateMp3Size.reset();
    s.WaveSize = 0;
    s.PercentWave = 0;
    // An intermediate file left from an earlier run would pass for this one's.
    if (mp3())
        removeIntermediates();

    const platform::TextFileResult loaded =
        platform::readTextFile(s.lists.SourceFiles.value(s.CurrentIndex - 1));
    if (!loaded.text) {
        skipFile(refusalText(loaded), false);
        return;
    }
    if (loaded.text->trimmed().isEmpty()) {
        skipFile(QStringLiteral("it holds no text"), false);
        return;
    }
    // The voice, rate and pitch of the main window as they are now.
    const app::RecordingVoices voices =
        m_source.voices ? m_source.voices() : app::RecordingVoices();
    const QString entry = m_source.voiceEntry ? m_source.voiceEntry() : QString();
    s.sText = *loaded.text;
    s.TextLen = s.sText.size();
    if (s.generation == 4) {
        if (!voices.reading4 || !voices.writer4) {
            skipFile(QStringLiteral("no voice of this kind"), false);
            return;
        }
        skipOnError("speed", [&] { s.ISpeed = voices.reading4->Speed(); });
        skipOnError("pitch", [&] { s.IPitch = voices.reading4->Pitch(); });
        s.IRealTime = 2048;
        s.sName = voiceNameFromEntry(entry);
        s.EstimateWaveSize = exporting::estimateWaveSize(s.TextLen, voices.rate);
        s.writer4 = voices.writer4;
        connect(s.writer4, &speech::Wavelin::WaveStop, this, &BatchConversion::Wavelin1_WaveStop,
                Qt::UniqueConnection);
        s.render4.start(*s.writer4, m_services.registry,
                        {s.sText, outputWave(), s.sName, s.ISpeed, s.IPitch, s.IRealTime});
        arm(c.waveWait);
        return;
    }
    if (!voices.reading5 || !voices.writer5) {
        skipFile(QStringLiteral("no voice of this kind"), false);
        return;
    }
    s.sText = reading::textForVoice(voiceNameFromEntry(entry), s.sText);
    s.writer5 = voices.writer5;
    connect(s.writer5, &speech::SpVoice::EndStream, this, &BatchConversion::WaveVoice1_EndStream,
            Qt::UniqueConnection);
    s.speaking = true;
    s.stoppedSpeaking = false;
    s.speakError.clear();
    arm(c.speak);
    if (s.render5.start(*s.writer5, *voices.reading5, outputWave(), s.sText) == 0) {
        // Nothing was queued, so no end event will come: the speak stage ends now.
        s.speaking = false;
        disarm(c.speak);
        skipFile(s.render5.finish(), true);
    }
}

void BatchConversion::waveWaitStage(VbTimer* timer) {
    BatchState& s = m_state;
    const Chain c = chain();
    if (!armed(timer, c.waveWait))
        return;
    if (!s.waveFile.take(outputWave())) {
        // A rendering that failed before it wrote anything still ends with
        // WaveEnd = 1; it must not leave this stage waiting for ever.
        if (s.render4.failed() && s.writer4 && !s.writer4->isRecording()) {
            const std::optional<QString> ended = s.render4.poll();
            disarm(c.waveWait);
            skipFile(ended && !ended->isEmpty() ? *ended : s.writer4->lastError(), true);
        }
        return;
    }
    disarm(c.waveWait);
    arm(c.waveProgress);
}

void BatchConversion::waveProgressStage(VbTimer* timer) {
    BatchState& s = m_state;
    const Chain c = chain();
    if (!armed(timer, c.waveProgress))
        return;
    s.RecElapsed = s.RecStart.secsTo(m_services.clock.now());
    if (const auto size = s.waveFile.size())
        s.WaveSize = *size;
    if (const auto n = exporting::wavePercent(s.WaveSize, s.EstimateWaveSize, mp3()))
        s.PercentWave = *n;
    writeProgress(s.PercentWave);

    const std::optional<QString> ended = s.render4.poll();
    if (!ended)
        return;
    s.waveFile.release();
    writeProgress(mp3() ? 50 : 100);
    disarm(c.waveProgress);
    waveDone(*ended);
}

void BatchConversion::waveDone(const QString& error) {
    BatchState& s = m_state;
    if (!error.isEmpty()) {
        skipFile(error, true);
        return;
    }
    if (!mp3()) {
        s.converted += 1;
        nextFileOrFinish();
        return;
    }
    s.WaveSize = platform::fileSize(outputWave());
    s.EstimateMp3Size = exporting::estimateMp3Size(s.WaveSize);
    arm(chain().mp3Wait);
    startEncoder();
}

void BatchConversion::Wavelin1_WaveStop() {
    BatchState& s = m_state;
    // A notice that comes after its file was handled, when the next file already
    // renders, is not this file's.
    if (s.JobIdle || s.generation != 4 || s.render4.failed() || !s.render4.complete())
        return;
    const Chain c = chain();
    // The WAV is complete: its stages need not wait for their ticks.
    runIfArmed(c.waveWait);
    if (m_quick && c.waveProgress->interval() > 0) {
        runIfArmed(c.waveProgress);
        return;
    }
    startEncoder();
}

void BatchConversion::WaveVoice1_EndStream(int streamNumber, qint64) {
    BatchState& s = m_state;
    if (!s.speaking || !s.render5.isOurs(streamNumber))
        return;
    if (s.stoppedSpeaking) {
        // Stopped while it spoke: the file is completed and, for an MP3, its
        // encoder started; nothing is armed.
        s.speaking = false;
        const QString error = s.render5.finish();
        if (error.isEmpty() && mp3())
            startEncoder();
        disconnect(s.writer5, &speech::SpVoice::EndStream, this,
                   &BatchConversion::WaveVoice1_EndStream);
        return;
    }
    finishSpeaking();
    runIfArmed(chain().speak);
}

void BatchConversion::finishSpeaking() {
    BatchState& s = m_state;
    if (!s.speaking)
        return;
    s.speaking = false;
    s.speakError = s.render5.finish();
}

void BatchConversion::speakStage(VbTimer* timer) {
    BatchState& s = m_state;
    const Chain c = chain();
    if (!armed(timer, c.speak) || s.speaking)
        return;
    disarm(c.speak);
    waveDone(s.speakError);
}

void BatchConversion::startEncoder() {
    BatchState& s = m_state;
    if (!mp3() || s.encoderAsked)
        return;
    s.encoderAsked = true;
    const QString wav = s.lists.WaveFiles.value(s.CurrentIndex - 1);
    const QString mp3File = s.lists.TempMp3Files.value(s.CurrentIndex - 1);
    s.Wav2Mp3 = wav + u' ' + mp3File;
    const exporting::EncoderStart run =
        exporting::startEncoder(m_services.processes, m_services.folder.folder(), wav, mp3File);
    if (!run.pid) {
        if (s.JobIdle)
            return; // stopped: the WAV stays as it is
        disarm(chain().mp3Wait);
        skipFile(run.error, true);
        return;
    }
    s.encoder.watch(*run.pid);
    const qint64 pid = *run.pid;
    if (m_quick)
        m_services.processes.notifyEnd(pid, this, [this, pid] { encoderEnded(pid); });
}

void BatchConversion::encoderEnded(qint64 pid) {
    BatchState& s = m_state;
    if (s.JobIdle || s.encoder.pid() != pid)
        return;
    const Chain c = chain();
    runIfArmed(c.mp3Wait);
    runIfArmed(c.mp3Progress);
}

void BatchConversion::mp3WaitStage(VbTimer* timer) {
    BatchState& s = m_state;
    const Chain c = chain();
    if (!armed(timer, c.mp3Wait))
        return;
    // Asked before the file is looked for, so an encoder that wrote its file and
    // ended in between is not taken for one that failed.
    const bool running = s.encoder.isRunning(m_services.processes);
    if (s.mp3File.take(s.lists.TempMp3Files.value(s.CurrentIndex - 1))) {
        disarm(c.mp3Wait);
        arm(c.mp3Progress);
        // The encoder may be gone already; its end is not told twice.
        if (!running)
            runIfArmed(c.mp3Progress);
        return;
    }
    if (s.encoderAsked && !running) {
        disarm(c.mp3Wait);
        skipFile(kNoMp3, true);
    }
}

void BatchConversion::mp3ProgressStage(VbTimer* timer) {
    BatchState& s = m_state;
    const Chain c = chain();
    if (!armed(timer, c.mp3Progress))
        return;
    s.RecElapsed = s.RecStart.secsTo(m_services.clock.now());
    if (const auto n = exporting::mp3Percent(s.mp3File.size().value_or(0), s.EstimateMp3Size))
        s.PercentWave = *n;
    writeProgress(s.PercentWave);
    if (s.encoder.isRunning(m_services.processes))
        return;
    s.mp3File.release();
    disarm(c.mp3Progress);
    const int i = s.CurrentIndex - 1;
    platform::removeFile(s.lists.WaveFiles.value(i));
    const QString made = s.lists.TempMp3Files.value(i);
    if (platform::fileSize(made) <= 0) {
        skipFile(kNoMp3, true);
        return;
    }
    // Nothing moves when the target folder is where the MP3 was made.
    if (const QString error = exporting::moveFile(made, s.lists.TargetMp3Files.value(i));
        !error.isEmpty()) {
        skipFile(QStringLiteral("the MP3 could not be written to its target: ") + error, true);
        return;
    }
    s.converted += 1;
    nextFileOrFinish();
}

void BatchConversion::removeIntermediates() {
    const int i = m_state.CurrentIndex - 1;
    platform::removeFile(m_state.lists.WaveFiles.value(i));
    const QString made = m_state.lists.TempMp3Files.value(i);
    // The target itself when the target folder is the temporary one: kept.
    if (QFileInfo(made) != QFileInfo(m_state.lists.TargetMp3Files.value(i)))
        platform::removeFile(made);
}

void BatchConversion::skipFile(const QString& why, bool output) {
    BatchState& s = m_state;
    s.skipped << fileName() + QStringLiteral(" (") + why + u')';
    emit progressLine(QStringLiteral("Skipped ") + fileName() + QStringLiteral(": ") + why);
    if (output) {
        if (mp3())
            removeIntermediates();
        else
            platform::removeFile(outputWave());
    }
    nextFileOrFinish();
}

void BatchConversion::nextFileOrFinish() {
    BatchState& s = m_state;
    if (s.CurrentIndex < s.lists.FileCount) {
        arm(chain().start);
        return;
    }
    stop();
    emit finished(s.converted, s.skipped);
}

void BatchConversion::stop() {
    BatchState& s = m_state;
    s.JobIdle = true;
    for (VbTimer* timer : timers())
        timer->setInterval(0);
    s.waveFile.release();
    s.mp3File.release();
    if (s.writer4)
        disconnect(s.writer4, &speech::Wavelin::WaveStop, this,
                   &BatchConversion::Wavelin1_WaveStop);
    // A file being spoken is completed by its end event.
    if (s.speaking)
        s.stoppedSpeaking = true;
    else if (s.writer5)
        disconnect(s.writer5, &speech::SpVoice::EndStream, this,
                   &BatchConversion::WaveVoice1_EndStream);
}

void BatchConversion::abandon() {
    BatchState& s = m_state;
    if (!isBusy())
        return;
    if (s.speaking)
        s.render5.stop();
    if (s.writer4 && s.writer4->isRecording())
        s.render4.stop();
    s.speaking = false;
    s.encoder.end(m_services.processes, kKillWaitMs);
    if (s.CurrentIndex > 0 && mp3())
        removeIntermediates();
    stop();
    if (s.writer5)
        disconnect(s.writer5, &speech::SpVoice::EndStream, this,
                   &BatchConversion::WaveVoice1_EndStream);
}

} // namespace sonorel::batch
