// Saving the reading box's text as speech in a WAV or MP3 file. A generation-4
// voice renders on the wave-output control's thread while timers watch the file
// grow; a generation-5 voice renders on the voice's own thread and its end
// event carries the chain on. An MP3 is made from a temporary WAV by the
// external encoder, watched by its process id. Progress goes into the window's
// caption. A recording writes only its own target, whatever is saved meanwhile.

#include "app/sorelmain.h"
#include "export/encoder.h"
#include "export/mp3end.h"
#include "export/progress.h"
#include "platform/files.h"
#include "reading/readingrules.h"
#include "reading/textsave.h"
#include "shared/elapsed.h"
#include "shared/skiponerror.h"
#include "shared/voiceentry.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QThread>

namespace sonorel::app {

using platform::MessageButtons;
using platform::MessageIcon;

namespace {
constexpr int kTick = 500;       // ms between progress checks
constexpr int kKillWaitMs = 500; // a killed encoder is gone long before this
} // namespace

void sorelmain::saveSpeech(bool mp3, const QString& path) {
    Program& p = m_program;
    if (m_recording) {
        // One recording at a time: the timers and temporary files are shared.
        m_services.dialogs.message({"Sonorel is still saving speech to " + p.RecTarget +
                                        ". Please wait until it has finished, then save again.",
                                    "Sonorel", MessageButtons::Ok, MessageIcon::Information, 1},
                                   this);
        return;
    }
    p.RecVoice = Combo1->currentText();
    p.RecRate = Label5->text();
    p.RecPitch = Label3->text();
    setWindowTitle(Combo1->currentText() + " Waiting   REC Engine: " + p.RecVoice);
    p.RecStart = m_services.clock.now();
    const QString extension = mp3 ? ".mp3" : ".wav";
    p.win.SaveExt = extension;
    const QString temp = m_services.temp.path();
    p.TempWav = temp + "/tmp$.wav";
    p.TempMp3 = temp + "/tmp$.mp3";
    p.TargetFile = reading::withExtension(path, extension);
    if (platform::fileExists(p.TargetFile)) {
        if (!mayOverwrite(p.TargetFile, true)) {
            setWindowTitle(Combo1->currentText());
            return;
        }
        platform::removeFile(p.TargetFile);
    }
    if (mp3 && temp.isEmpty()) {
        setWindowTitle(Combo1->currentText());
        m_services.dialogs.message(
            {"Sonorel has no folder for its temporary files: " + m_services.temp.error(), "Sonorel",
             MessageButtons::Ok, MessageIcon::Critical, 1},
            this);
        return;
    }
    p.RecTarget = p.TargetFile;
    sText = reading::withoutOuterSpaces(RichTextBox1->toPlainText());
    TextLen = exporting::estimateLength(sText);

    // A fresh start: nothing of an earlier recording is measured or reused.
    TargetFileType = mp3 ? 3 : 4;
    EstimateWaveSize.reset();
    EstimateMp3Size.reset();
    WaveSize = 0;
    PercentWave = 0;
    pId.reset();
    m_encoderAsked = false;
    RecFile.clear();
    Mp3File.clear();
    if (mp3) {
        platform::removeFile(p.TempWav);
        platform::removeFile(p.TempMp3);
    }
    switch (p.tts.EngineGeneration) {
    case 4:
        recordSapi4(mp3);
        return;
    case 5:
        recordSapi5(mp3);
        return;
    default:
        setWindowTitle(Combo1->currentText());
        return;
    }
}

void sorelmain::recordSapi4(bool mp3) {
    skipOnError("speed", [&] { ISpeed = DirectSS1->Speed(); });
    skipOnError("pitch", [&] { IPitch = DirectSS1->Pitch(); });
    IRealTime = 2048;
    sName = voiceNameFromEntry(Combo1->currentText());
    EstimateWaveSize = exporting::estimateWaveSize(TextLen, Label5->text());
    const QString output = mp3 ? m_program.TempWav : m_program.RecTarget;
    m_recording = true;
    m_recordingGeneration = 4;
    Timer101->setInterval(kTick);
    Wavelin1->SpeakToFile(sText, output, sName, ISpeed, IPitch, IRealTime);
}

void sorelmain::Timer101_Timer() {
    const QString written = TargetFileType == 3 ? m_program.TempWav : m_program.RecTarget;
    if (platform::fileExists(written))
        RecFile = written;
    Timer101->setInterval(0);
    Timer1->setInterval(kTick);
}

void sorelmain::Timer1_Timer() {
    Program& p = m_program;
    const bool mp3 = TargetFileType == 3;
    p.RecElapsed = p.RecStart.secsTo(m_services.clock.now());
    if (!RecFile.isEmpty())
        WaveSize = platform::fileSize(RecFile);
    if (const auto n = exporting::wavePercent(WaveSize, EstimateWaveSize, mp3))
        PercentWave = *n;
    showProgress(PercentWave);

    const auto value =
        m_services.registry.dword(platform::speech::kWaveEndRoot, platform::speech::kWaveEndKey,
                                  platform::speech::kWaveEndValue);
    if (value)
        p.WaveEndValue = *value;
    if (!value || *value != 1)
        return;
    RecFile.clear();
    showProgress(mp3 ? 50 : 100);
    Timer1->setInterval(0);
    m_services.registry.setDword(platform::speech::kWaveEndRoot, platform::speech::kWaveEndKey,
                                 platform::speech::kWaveEndValue, 3);
    if (const QString error = Wavelin1->lastError(); !error.isEmpty()) {
        failRecording(error);
        return;
    }
    EstimateMp3Size = exporting::estimateMp3Size(WaveSize);
    if (mp3) {
        Timer102->setInterval(kTick);
        Wavelin1_WaveStop();
    } else {
        finishRecording();
    }
}

void sorelmain::recordSapi5(bool mp3) {
    Program& p = m_program;
    skipOnError("voice", [&] { WaveVoice1->setVoice(NewsVoice1->Voice()); });
    WaveVoice1->setVolume(NewsVoice1->Volume());
    WaveVoice1->setRate(NewsVoice1->Rate());
    m_waveStream.Open(mp3 ? p.TempWav : p.RecTarget, platform::speech::SSFMCreateForWrite);
    WaveVoice1->setAudioOutputStream(&m_waveStream);
    sText = reading::textForVoice(voiceNameFromEntry(Combo1->currentText()), sText);
    m_recording = true;
    m_recordingGeneration = 5;
    // The voice renders on its own thread; the window answers meanwhile.
    m_waveStreamNumber = WaveVoice1->Speak(sText, platform::speech::SVSFlagsAsync);
    if (m_waveStreamNumber == 0) // nothing was queued, so no end will come
        WaveVoice1_EndStream(0, 0);
}

void sorelmain::WaveVoice1_EndStream(int streamNumber, qint64) {
    // The end of a rendering stopped at exit, or of an earlier one, is not ours.
    if (!m_recording || m_recordingGeneration != 5 || streamNumber != m_waveStreamNumber)
        return;
    const Program& p = m_program;
    m_waveStream.Close();
    WaveVoice1->setAudioOutputStream(nullptr);
    QString error = WaveVoice1->lastFileError();
    if (error.isEmpty() && !platform::fileExists(m_waveStream.path()))
        error = "The voice wrote no sound.";
    if (!error.isEmpty()) {
        failRecording(error);
        return;
    }
    if (TargetFileType != 3) {
        setWindowTitle(Combo1->currentText());
        finishRecording();
        return;
    }
    EstimateMp3Size = exporting::estimateMp3Size(platform::fileSize(p.TempWav));
    Timer102->setInterval(kTick);
    Wavelin1_WaveStop();
}

void sorelmain::Wavelin1_WaveStop() {
    // Both the control's stop notification and the poll of WaveEnd come here:
    // the encoder starts once per recording, and never on a failed WAV.
    if (!m_recording || TargetFileType != 3 || m_encoderAsked)
        return;
    if (m_recordingGeneration == 4 && !Wavelin1->lastError().isEmpty())
        return;
    m_encoderAsked = true;
    const Program& p = m_program;
    Wav2Mp3 = p.TempWav + " " + p.TempMp3;
    const exporting::EncoderStart run = exporting::startEncoder(
        m_services.processes, m_services.folder.folder(), p.TempWav, p.TempMp3);
    exelocation = run.command;
    if (!run.pid) {
        keepWaveInstead(run.error);
        return;
    }
    pId = *run.pid;
}

void sorelmain::Timer102_Timer() {
    const Program& p = m_program;
    // Asked before the file is looked for, so an encoder that wrote its file and
    // ended in between is not taken for one that failed.
    const bool running = pId && m_services.processes.isAlive(*pId);
    if (platform::fileExists(p.TempMp3)) {
        Mp3File = p.TempMp3;
        Timer102->setInterval(0);
        Timer2->setInterval(kTick);
        return;
    }
    if (m_encoderAsked && !running)
        keepWaveInstead("The MP3 encoder ended without writing an MP3 file.");
}

void sorelmain::Timer2_Timer() {
    Program& p = m_program;
    p.RecElapsed = p.RecStart.secsTo(m_services.clock.now());
    if (const auto n = exporting::mp3Percent(platform::fileSize(Mp3File), EstimateMp3Size))
        PercentWave = *n;
    showProgress(PercentWave);
    if (pId && m_services.processes.isAlive(*pId))
        return;
    Mp3File.clear();
    Timer2->setInterval(0);
    if (platform::fileSize(p.TempMp3) <= 0) {
        keepWaveInstead("The MP3 encoder ended without writing an MP3 file.");
        return;
    }
    platform::removeFile(p.TempWav);
    if (const QString error = exporting::moveFile(p.TempMp3, p.RecTarget); !error.isEmpty()) {
        endRecording();
        setWindowTitle(Combo1->currentText());
        m_services.dialogs.message({"Sonorel could not write " + p.RecTarget + ": " + error +
                                        ".\nThe MP3 file is in " + p.TempMp3 +
                                        " until the next recording.",
                                    "Sonorel", MessageButtons::Ok, MessageIcon::Critical, 1},
                                   this);
        return;
    }
    setWindowTitle(Combo1->currentText());
    finishRecording();
}

void sorelmain::showProgress(int percent) {
    setWindowTitle(exporting::progressLine(Combo1->currentText(), percent, m_program.RecElapsed) +
                   "   REC Engine: " + m_program.RecVoice);
}

void sorelmain::endRecording() {
    m_recording = false;
    for (VbTimer* timer : {Timer101, Timer1, Timer102, Timer2})
        timer->setInterval(0);
    RecFile.clear();
    Mp3File.clear();
}

void sorelmain::finishRecording() {
    endRecording();
    // A notice left open from an earlier recording is made anew with this one's values.
    m_windows.unload(WindowId::Mp3End);
    m_windows.show(WindowId::Mp3End);
}

void sorelmain::failRecording(const QString& why) {
    endRecording();
    setWindowTitle(Combo1->currentText());
    if (TargetFileType == 3)
        platform::removeFile(m_program.TempWav);
    m_services.dialogs.message(
        {"Sonorel could not save the speech to " + m_program.RecTarget + ".\n" + why, "Sonorel",
         MessageButtons::Ok, MessageIcon::Critical, 1},
        this);
}

void sorelmain::keepWaveInstead(const QString& why) {
    const Program& p = m_program;
    endRecording();
    setWindowTitle(Combo1->currentText());
    const QString kept = exporting::keptWavPath(p.RecTarget);
    const QString moveError = exporting::moveFile(p.TempWav, kept);
    platform::removeFile(p.TempMp3);
    const QString where = moveError.isEmpty()
                              ? "The speech was saved as a WAV file instead:\n" + kept
                              : "The speech is in the WAV file " + p.TempWav +
                                    " until the next recording (" + kept +
                                    " could not be written: " + moveError + ").";
    m_services.dialogs.message(
        {"Sonorel could not make the MP3 file " + p.RecTarget + ".\n" + why + "\n\n" + where,
         "Sonorel", MessageButtons::Ok, MessageIcon::Exclamation, 1},
        this);
}

void sorelmain::abandonRecording() {
    if (!m_recording)
        return;
    const Program& p = m_program;
    // Each stop waits for its rendering thread, which looks at its cancel flag
    // between pieces of audio; their late end events find no recording.
    if (m_recordingGeneration == 5) {
        WaveVoice1->Speak({}, platform::speech::SVSFPurgeBeforeSpeak);
        m_waveStream.Close();
        WaveVoice1->setAudioOutputStream(nullptr);
    } else {
        Wavelin1->StopRecording();
    }
    if (pId && m_services.processes.terminate(*pId)) {
        // Gone for good before its files are removed, so it creates none after.
        for (int waited = 0; waited < kKillWaitMs && m_services.processes.isAlive(*pId);
             waited += 5)
            QThread::msleep(5);
    }
    endRecording();
    if (TargetFileType == 3) {
        platform::removeFile(p.TempWav);
        platform::removeFile(p.TempMp3);
    }
}

} // namespace sonorel::app
