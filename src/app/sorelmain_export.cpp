// Saving the reading box's text as speech in a WAV or MP3 file: the window asks
// for the file, hands the save to its chain (exporting::SpeechRecording, which
// renders, encodes and watches on its own timers), shows the progress it is told
// in the caption and opens the finish notice or says what failed. A recording
// writes only its own target, whatever is saved meanwhile.

#include "app/sorelmain.h"
#include "export/progress.h"
#include "export/speechrecording.h"
#include "platform/files.h"
#include "reading/readingrules.h"
#include "reading/textsave.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace sonorel::app {

using platform::MessageButtons;
using platform::MessageIcon;

void sorelmain::createSpeechSave() {
    speechSave = new exporting::SpeechRecording(
        {m_services.registry, m_services.clock, m_services.processes, m_services.folder}, this);
    connect(speechSave, &exporting::SpeechRecording::progress, this,
            &sorelmain::showRecordingProgress);
    connect(speechSave, &exporting::SpeechRecording::progressCleared, this,
            &sorelmain::showVoiceCaption);
    connect(speechSave, &exporting::SpeechRecording::finished, this, &sorelmain::recordingFinished);
    connect(speechSave, &exporting::SpeechRecording::failed, this, &sorelmain::recordingFailed);
    m_program.soundJobs.enlist(this, QStringLiteral("the speech save of the main window"),
                               [this] { return isRecording(); });
}

RecordingVoices sorelmain::recordingVoices() {
    return {DirectSS1, Wavelin1, NewsVoice1, WaveVoice1, Label5->text(), Label3->text()};
}

bool sorelmain::isRecording() const {
    return speechSave && speechSave->isRunning();
}

void sorelmain::saveSpeech(bool mp3, const QString& path) {
    Program& p = m_program;
    if (const QString other = p.soundJobs.otherRunning(this); !other.isEmpty()) {
        m_services.dialogs.message(
            {.text = SoundJobs::refusal(other, QStringLiteral("the speech save")),
             .title = "Sonorel",
             .buttons = MessageButtons::Ok,
             .icon = MessageIcon::Information},
            this);
        return;
    }
    if (speechSave->isRunning()) {
        // One save at a time: the chain, its timers and its temporary files serve one.
        m_services.dialogs.message({.text = "Sonorel is still saving speech to " +
                                            speechSave->state().RecTarget +
                                            ". Please wait until it has finished, then save again.",
                                    .title = "Sonorel",
                                    .buttons = MessageButtons::Ok,
                                    .icon = MessageIcon::Information},
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
    p.TargetFile = reading::withExtension(path, extension);
    if (platform::fileExists(p.TargetFile)) {
        if (!mayOverwrite(p.TargetFile, true)) {
            showVoiceCaption();
            return;
        }
        platform::removeFile(p.TargetFile);
    }
    if (mp3 && temp.isEmpty()) {
        showVoiceCaption();
        m_services.dialogs.message(
            {.text = "Sonorel has no folder for its temporary files: " + m_services.temp.error(),
             .title = "Sonorel",
             .buttons = MessageButtons::Ok,
             .icon = MessageIcon::Critical},
            this);
        return;
    }
    p.RecTarget = p.TargetFile;
    const bool started = speechSave->start({
        .text = reading::withoutOuterSpaces(boxText()),
        .generation = p.tts.EngineGeneration,
        .mp3 = mp3,
        .target = p.RecTarget,
        .tempFolder = temp,
        .started = p.RecStart,
        .voice = p.RecVoice,
        .rate = p.RecRate,
        .pitch = p.RecPitch,
        .reading4 = DirectSS1,
        .writer4 = Wavelin1,
        .reading5 = NewsVoice1,
        .writer5 = WaveVoice1,
    });
    if (!started)
        showVoiceCaption();
}

void sorelmain::showRecordingProgress(int percent, qint64 elapsedSeconds) {
    // The list's text is read at every tick; "REC Engine:" keeps the recording's voice.
    setWindowTitle(exporting::progressLine(Combo1->currentText(), percent, elapsedSeconds) +
                   "   REC Engine: " + speechSave->state().RecVoice);
}

void sorelmain::showVoiceCaption() {
    setWindowTitle(Combo1->currentText());
}

void sorelmain::recordingFinished() {
    // The notice reads the recording's values as they are when it opens; one left
    // open from an earlier recording is made anew.
    m_windows.unload(WindowId::Mp3End);
    m_windows.show(WindowId::Mp3End);
}

void sorelmain::recordingFailed(const exporting::RecordingFailure& failure) {
    const MessageIcon icon = failure.kind == exporting::RecordingFailure::Kind::KeptAsWav
                                 ? MessageIcon::Exclamation
                                 : MessageIcon::Critical;
    m_services.dialogs.message(
        {.text = failure.message, .title = "Sonorel", .buttons = MessageButtons::Ok, .icon = icon},
        this);
}

void sorelmain::abandonRecording() {
    if (speechSave)
        speechSave->abandon();
}

} // namespace sonorel::app
