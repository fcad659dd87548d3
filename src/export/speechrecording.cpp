#include "export/speechrecording.h"

#include "export/encoder.h"
#include "export/progress.h"
#include "platform/files.h"
#include "platform/speech/sapi4.h"
#include "reading/readingrules.h"
#include "shared/elapsed.h"
#include "shared/skiponerror.h"
#include "shared/voiceentry.h"

namespace sonorel::exporting {

namespace speech = platform::speech;

namespace {
constexpr int kTick = 500;       // ms between progress checks
constexpr int kKillWaitMs = 500; // a killed encoder is gone long before this
} // namespace

SpeechRecording::SpeechRecording(RecordingServices services, QObject* parent)
    : QObject(parent), m_services(services) {
    Timer101 = new VbTimer(this);
    Timer1 = new VbTimer(this);
    Timer102 = new VbTimer(this);
    Timer2 = new VbTimer(this);
    connect(Timer101, &VbTimer::timeout, this, &SpeechRecording::Timer101_Timer);
    connect(Timer1, &VbTimer::timeout, this, &SpeechRecording::Timer1_Timer);
    connect(Timer102, &VbTimer::timeout, this, &SpeechRecording::Timer102_Timer);
    connect(Timer2, &VbTimer::timeout, this, &SpeechRecording::Timer2_Timer);
}

bool SpeechRecording::start(const RecordingRequest& request) {
    if (m_state.running)
        return false;
    const bool gen4 = request.generation == 4 && request.reading4 && request.writer4;
    const bool gen5 = request.generation == 5 && request.reading5 && request.writer5;
    if (!gen4 && !gen5)
        return false;
    // A fresh start: nothing of an earlier save is measured or reused.
    RecordingState& s = m_state;
    s = RecordingState();
    s.RecTarget = request.target;
    s.RecVoice = request.voice;
    s.RecRate = request.rate;
    s.RecPitch = request.pitch;
    s.RecStart = request.started;
    s.TempWav = request.tempFolder + QStringLiteral("/tmp$.wav");
    s.TempMp3 = request.tempFolder + QStringLiteral("/tmp$.mp3");
    s.sText = request.text;
    s.TextLen = estimateLength(s.sText);
    s.TargetFileType = request.mp3 ? 3 : 4;
    if (request.mp3) {
        platform::removeFile(s.TempWav);
        platform::removeFile(s.TempMp3);
    }
    if (gen4)
        recordSapi4(request);
    else
        recordSapi5(request);
    return true;
}

void SpeechRecording::recordSapi4(const RecordingRequest& request) {
    RecordingState& s = m_state;
    skipOnError("speed", [&] { s.ISpeed = request.reading4->Speed(); });
    skipOnError("pitch", [&] { s.IPitch = request.reading4->Pitch(); });
    s.IRealTime = 2048;
    s.sName = voiceNameFromEntry(request.voice);
    s.EstimateWaveSize = estimateWaveSize(s.TextLen, request.rate);
    s.running = true;
    s.generation = 4;
    s.writer4 = request.writer4;
    connect(s.writer4, &speech::Wavelin::WaveStop, this, &SpeechRecording::Wavelin1_WaveStop,
            Qt::UniqueConnection);
    Timer101->setInterval(kTick);
    s.render4.start(*s.writer4, m_services.registry,
                    {s.sText, s.TargetFileType == 3 ? s.TempWav : s.RecTarget, s.sName, s.ISpeed,
                     s.IPitch, s.IRealTime});
}

void SpeechRecording::Timer101_Timer() {
    RecordingState& s = m_state;
    s.RecFile.take(s.TargetFileType == 3 ? s.TempWav : s.RecTarget);
    Timer101->setInterval(0);
    Timer1->setInterval(kTick);
}

void SpeechRecording::Timer1_Timer() {
    RecordingState& s = m_state;
    const bool mp3 = s.TargetFileType == 3;
    s.RecElapsed = s.RecStart.secsTo(m_services.clock.now());
    if (const auto size = s.RecFile.size())
        s.WaveSize = *size;
    if (const auto n = wavePercent(s.WaveSize, s.EstimateWaveSize, mp3))
        s.PercentWave = *n;
    emit progress(s.PercentWave, s.RecElapsed);

    const std::optional<QString> ended = s.render4.poll();
    if (!ended)
        return;
    s.RecFile.release();
    emit progress(mp3 ? 50 : 100, s.RecElapsed);
    Timer1->setInterval(0);
    if (!ended->isEmpty()) {
        fail(notRendered(s.RecTarget, *ended));
        return;
    }
    s.EstimateMp3Size = estimateMp3Size(s.WaveSize);
    if (mp3) {
        Timer102->setInterval(kTick);
        Wavelin1_WaveStop();
    } else {
        // The caption keeps its last figure under the finish notice.
        finish();
    }
}

void SpeechRecording::recordSapi5(const RecordingRequest& request) {
    RecordingState& s = m_state;
    s.sText = reading::textForVoice(voiceNameFromEntry(request.voice), s.sText);
    s.running = true;
    s.generation = 5;
    s.writer5 = request.writer5;
    connect(s.writer5, &speech::SpVoice::EndStream, this, &SpeechRecording::WaveVoice1_EndStream,
            Qt::UniqueConnection);
    const int stream = s.render5.start(*s.writer5, *request.reading5,
                                       s.TargetFileType == 3 ? s.TempWav : s.RecTarget, s.sText);
    if (stream == 0) // nothing was queued, so no end will come
        WaveVoice1_EndStream(0, 0);
}

void SpeechRecording::WaveVoice1_EndStream(int streamNumber, qint64) {
    RecordingState& s = m_state;
    // The end of a rendering stopped at exit, or of an earlier one, is not ours.
    if (!s.running || s.generation != 5 || !s.render5.isOurs(streamNumber))
        return;
    if (const QString error = s.render5.finish(); !error.isEmpty()) {
        fail(notRendered(s.RecTarget, error));
        return;
    }
    if (s.TargetFileType != 3) {
        emit progressCleared();
        finish();
        return;
    }
    s.EstimateMp3Size = estimateMp3Size(platform::fileSize(s.TempWav));
    Timer102->setInterval(kTick);
    Wavelin1_WaveStop();
}

void SpeechRecording::Wavelin1_WaveStop() {
    RecordingState& s = m_state;
    // Both the control's stop notification and the poll of WaveEnd come here:
    // the encoder starts once per save, and never on a failed WAV.
    if (!s.running || s.TargetFileType != 3 || s.encoderAsked)
        return;
    if (s.generation == 4 && s.render4.failed())
        return;
    s.encoderAsked = true;
    s.Wav2Mp3 = s.TempWav + QLatin1Char(' ') + s.TempMp3;
    const EncoderStart run =
        startEncoder(m_services.processes, m_services.folder.folder(), s.TempWav, s.TempMp3);
    if (!run.pid) {
        keepWaveInstead(run.error);
        return;
    }
    s.encoder.watch(*run.pid);
}

void SpeechRecording::Timer102_Timer() {
    RecordingState& s = m_state;
    // Asked before the file is looked for, so an encoder that wrote its file and
    // ended in between is not taken for one that failed.
    const bool running = s.encoder.isRunning(m_services.processes);
    if (s.Mp3File.take(s.TempMp3)) {
        Timer102->setInterval(0);
        Timer2->setInterval(kTick);
        return;
    }
    if (s.encoderAsked && !running)
        keepWaveInstead(QStringLiteral("The MP3 encoder ended without writing an MP3 file."));
}

void SpeechRecording::Timer2_Timer() {
    RecordingState& s = m_state;
    s.RecElapsed = s.RecStart.secsTo(m_services.clock.now());
    if (const auto n = mp3Percent(s.Mp3File.size().value_or(0), s.EstimateMp3Size))
        s.PercentWave = *n;
    emit progress(s.PercentWave, s.RecElapsed);
    if (s.encoder.isRunning(m_services.processes))
        return;
    s.Mp3File.release();
    Timer2->setInterval(0);
    if (platform::fileSize(s.TempMp3) <= 0) {
        keepWaveInstead(QStringLiteral("The MP3 encoder ended without writing an MP3 file."));
        return;
    }
    platform::removeFile(s.TempWav);
    if (const QString error = moveFile(s.TempMp3, s.RecTarget); !error.isEmpty()) {
        fail(notMoved(s.RecTarget, error, s.TempMp3));
        return;
    }
    emit progressCleared();
    finish();
}

void SpeechRecording::stopStages() {
    RecordingState& s = m_state;
    s.running = false;
    for (VbTimer* timer : {Timer101, Timer1, Timer102, Timer2})
        timer->setInterval(0);
    s.RecFile.release();
    s.Mp3File.release();
    // Late events of the borrowed writers are not this save's any more.
    if (s.writer4)
        disconnect(s.writer4, &speech::Wavelin::WaveStop, this,
                   &SpeechRecording::Wavelin1_WaveStop);
    if (s.writer5)
        disconnect(s.writer5, &speech::SpVoice::EndStream, this,
                   &SpeechRecording::WaveVoice1_EndStream);
}

void SpeechRecording::finish() {
    stopStages();
    const RecordingState& s = m_state;
    emit finished({s.RecTarget, elapsedText(s.RecStart.secsTo(m_services.clock.now())), s.RecVoice,
                   s.RecRate, s.RecPitch});
}

void SpeechRecording::fail(const RecordingFailure& failure) {
    stopStages();
    emit progressCleared();
    // An MP3's WAV is of no use by itself; the MP3 of a failed move stays for the user.
    if (m_state.TargetFileType == 3)
        platform::removeFile(m_state.TempWav);
    emit failed(failure);
}

void SpeechRecording::keepWaveInstead(const QString& why) {
    const RecordingState& s = m_state;
    stopStages();
    emit progressCleared();
    emit failed(exporting::keepWaveInstead(s.TempWav, s.TempMp3, s.RecTarget, why));
}

void SpeechRecording::abandon() {
    RecordingState& s = m_state;
    if (!s.running)
        return;
    // Each stop waits for its rendering thread, which looks at its cancel flag
    // between pieces of audio.
    if (s.generation == 5)
        s.render5.stop();
    else
        s.render4.stop();
    s.encoder.end(m_services.processes, kKillWaitMs);
    stopStages();
    if (s.TargetFileType == 3) {
        platform::removeFile(s.TempWav);
        platform::removeFile(s.TempMp3);
    }
}

} // namespace sonorel::exporting
