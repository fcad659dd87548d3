// Saving the reading box as speech in a WAV or MP3 file, on scripted voices and
// a launcher double: the progress captions at chosen file sizes, the WaveEnd
// handshake, the encoder's start and end, the finish notice, and what happens
// when the encoder or the rendering fails.

#include "export/mp3end.h"
#include "export/speechrecording.h"
#include "readerfixture.h"
#include "shared/linkcommand.h"
#include "support/wavefile.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <thread>

using namespace sonorel;
using namespace sonorel::test;
using platform::FileChoice;
using platform::MessageAnswer;
namespace speech = platform::speech;

namespace {

std::optional<std::uint32_t> waveEnd(platform::RegistryStore& registry) {
    return registry.dword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue);
}

void setWaveEnd(platform::RegistryStore& registry, std::uint32_t value) {
    registry.setDword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue, value);
}

// Waits for the wave-output thread without running events, so the window's
// timers stay where the test puts them.
bool waitForWaveEnd(platform::RegistryStore& registry, std::uint32_t value) {
    for (int i = 0; i < 1000; ++i) {
        if (waveEnd(registry) == value)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void resizeTo(const QString& file, double bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(qint64(bytes)));
}

const exporting::RecordingState& save(const app::sorelmain& w) {
    return w.speechSave->state();
}

exporting::mp3end* finishNotice(app::Windows& windows) {
    return qobject_cast<exporting::mp3end*>(windows.find(app::WindowId::Mp3End));
}

const QString kSentences = "The first sentence is short. The second one is a little longer. "
                           "Here is a third. And a fourth one. A fifth follows. The end.";

} // namespace

TEST_F(ReaderTest, Mp3ProgressFollowsTheFileSizesThroughBothStages) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(makeFakeEncoder(path()));
    w->RichTextBox1->setPlainText("  Hello there.  How are you?  ");
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("talk.MP3"), 3}));
    w->Command4_Click();
    exporting::SpeechRecording& chain = *w->speechSave;
    const exporting::RecordingState& rec = chain.state();
    EXPECT_EQ(program.win.SaveExt, ".mp3");
    EXPECT_EQ(program.TargetFile, path("talk.MP3.mp3")) << "the extension test minds case";
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0) Waiting   REC Engine: Mary (TTS4.0)");
    EXPECT_EQ(rec.sText, "Hello there.  How are you?");
    EXPECT_EQ(rec.TextLen, 24);
    EXPECT_EQ(rec.sName, "Mary");
    EXPECT_EQ(rec.IRealTime, 2048);
    EXPECT_EQ(program.RecRate, w->Label5->text());
    EXPECT_EQ(chain.Timer101->interval(), 500);
    EXPECT_TRUE(w->isRecording());
    ASSERT_TRUE(waitForWaveEnd(registry, 1));
    ASSERT_GT(readWave(rec.TempWav).frames, 0);
    ASSERT_TRUE(rec.EstimateWaveSize);
    const double estimate = *rec.EstimateWaveSize;

    // The WAV "still being written", at sizes the test picks.
    setWaveEnd(registry, 2);
    resizeTo(rec.TempWav, estimate * 20.5);
    chain.Timer101_Timer();
    EXPECT_EQ(chain.Timer101->interval(), 0);
    EXPECT_EQ(chain.Timer1->interval(), 500);
    clock.advanceSeconds(3700);
    chain.Timer1_Timer();
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0)   Completed: 20%  Elapsed Time: 01:01:40   REC "
                                "Engine: Mary (TTS4.0)");
    resizeTo(rec.TempWav, estimate * 80);
    chain.Timer1_Timer();
    EXPECT_TRUE(w->windowTitle().contains("Completed: 50%")) << "the WAV is half of an MP3";
    EXPECT_TRUE(processes.started.isEmpty());

    setWaveEnd(registry, 1);
    chain.Timer1_Timer();
    EXPECT_EQ(waveEnd(registry), 3u);
    EXPECT_EQ(chain.Timer1->interval(), 0);
    EXPECT_EQ(chain.Timer102->interval(), 500);
    ASSERT_EQ(processes.started.size(), 1);
    EXPECT_EQ(processes.started[0].program, path("lame"));
    EXPECT_EQ(processes.started[0].arguments, QStringList({"-f", rec.TempWav, rec.TempMp3}));
    EXPECT_EQ(processes.started[0].mode, platform::WindowMode::Hidden);
    // The control's own stop notification arrives as well: still one encoder.
    QCoreApplication::sendPostedEvents(w->Wavelin1);
    EXPECT_EQ(processes.started.size(), 1);
    EXPECT_EQ(rec.Wav2Mp3, rec.TempWav + " " + rec.TempMp3);
    EXPECT_TRUE(rec.TempWav.startsWith(temp.path() + "/"));
    const qint64 pid = processes.started[0].pid;
    EXPECT_EQ(rec.encoder.pid(), pid);
    ASSERT_TRUE(rec.EstimateMp3Size);
    const double mp3Estimate = *rec.EstimateMp3Size;
    EXPECT_DOUBLE_EQ(mp3Estimate, double(qint64(estimate * 80)) / 24844076 * 2253740 / 50);

    chain.Timer102_Timer(); // the encoder runs but has written nothing yet
    EXPECT_EQ(chain.Timer102->interval(), 500);
    ASSERT_TRUE(writeFileAtomically(rec.TempMp3, QByteArray(int(mp3Estimate * 30.5), 'm')));
    chain.Timer102_Timer();
    EXPECT_EQ(chain.Timer102->interval(), 0);
    EXPECT_EQ(chain.Timer2->interval(), 500);
    chain.Timer2_Timer();
    EXPECT_TRUE(w->windowTitle().contains("Completed: 80%  Elapsed Time: 01:01:40   REC"));
    resizeTo(rec.TempMp3, mp3Estimate * 70);
    chain.Timer2_Timer();
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0)   Completed: 100%  Elapsed Time:01:01:40   REC "
                                "Engine: Mary (TTS4.0)");
    EXPECT_FALSE(windows.isOpen(app::WindowId::Mp3End));

    const QByteArray mp3 = readWholeFile(rec.TempMp3);
    processes.finish(pid);
    clock.advanceSeconds(2);
    chain.Timer2_Timer();
    EXPECT_EQ(readWholeFile(path("talk.MP3.mp3")), mp3);
    EXPECT_FALSE(QFile::exists(rec.TempWav));
    EXPECT_FALSE(QFile::exists(rec.TempMp3));
    EXPECT_FALSE(w->isRecording());
    EXPECT_EQ(chain.Timer2->interval(), 0);
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0)");
    exporting::mp3end* notice = finishNotice(windows);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Label2->text(), path("talk.MP3.mp3"));
    EXPECT_EQ(notice->Label4->text(), "01:01:42");
    EXPECT_EQ(notice->Label6->text(), "Mary (TTS4.0)");
    EXPECT_EQ(notice->Label8->text(), program.RecRate);
    EXPECT_EQ(notice->Label10->text(), program.RecPitch);
    notice->Command1->click();
    EXPECT_EQ(shell.opened, QStringList{path("talk.MP3.mp3")});
}

TEST_F(ReaderTest, WavWithoutARateEstimateStillFinishesOnItsTimers) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText(kSentences);
    w->Label5->setText("0");
    gen4.synth->delayPerCallMs = 250;
    QStringList captions;
    QObject::connect(w.get(), &QWidget::windowTitleChanged,
                     [&](const QString& title) { captions << title; });
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("talk"), 4}));
    w->Command4_Click();
    EXPECT_FALSE(save(*w).EstimateWaveSize);
    ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 15000));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    const WaveStats wave = readWave(path("talk.wav"));
    EXPECT_EQ(wave.rate, ScriptedSynthesizer::kRate);
    EXPECT_GT(wave.frames, kSentences.size() * 40);
    EXPECT_EQ(waveEnd(registry), 3u);
    ASSERT_TRUE(finishNotice(windows));
    EXPECT_EQ(finishNotice(windows)->Label8->text(), "0");
    ASSERT_GE(captions.size(), 2);
    EXPECT_EQ(captions.last(), "Mary (TTS4.0)   Completed: 100%  Elapsed Time: 00:00:00   REC "
                               "Engine: Mary (TTS4.0)");
    for (qsizetype i = 1; i + 1 < captions.size(); ++i)
        EXPECT_TRUE(captions[i].contains("Completed: 0%")) << captions[i].toStdString();
}

TEST_F(ReaderTest, SoundSaveAsksBeforeReplacingAndNoLeavesTheFile) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText(kSentences);
    ASSERT_TRUE(writeFileAtomically(path("song.MP3.mp3"), "old"));
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("song.MP3"), 3}));
    dialogs.answer(MessageAnswer::No);
    w->Command4_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    const platform::MessageSpec& question = dialogs.messages[0];
    EXPECT_EQ(question.text, path("song.MP3.mp3") +
                                 " is already exist,do you want to overwrite it ? (If you are "
                                 "playing this file, please close it, then click Yes to "
                                 "overwrite it)");
    EXPECT_EQ(question.title, "Message");
    EXPECT_EQ(question.buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(question.icon, platform::MessageIcon::Question);
    EXPECT_EQ(question.defaultButton, 2);
    EXPECT_EQ(readWholeFile(path("song.MP3.mp3")), "old");
    EXPECT_FALSE(w->isRecording());
    EXPECT_EQ(w->speechSave->Timer101->interval(), 0);
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0)");
    EXPECT_EQ(waveEnd(registry), std::nullopt) << "nothing was recorded";
}

TEST_F(ReaderTest, Generation5RendersWhileTheWindowKeepsAnsweringAndRefusesASecondSave) {
    ASSERT_TRUE(start());
    pick("English (TTS5.0)");
    w->RichTextBox1->setPlainText(kSentences);
    gen5.synth->delayPerCallMs = 40;
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("speech"), 4}));
    w->Command4_Click();
    // The handler does not wait for the voice; its end comes back as an event.
    ASSERT_TRUE(w->isRecording()) << "the save held the handler until the file was written";
    EXPECT_EQ(w->windowTitle(), "English (TTS5.0) Waiting   REC Engine: English (TTS5.0)");
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("second"), 4}));
    w->Command4_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("still saving speech to " + path("speech.wav")));
    // A link command meanwhile reads other words aloud; the save keeps its own text.
    w->LinkExecute(kLinkToken + "_1Other words");
    EXPECT_EQ(w->PlayStatus, 1);
    ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 15000));

    EXPECT_FALSE(QFile::exists(path("second.wav")));
    const WaveStats wave = readWave(path("speech.wav"));
    EXPECT_EQ(wave.rate, ScriptedSynthesizer::kRate);
    const int letters = QString(kSentences).remove(' ').size();
    const int words = int(kSentences.split(' ').size());
    EXPECT_EQ(wave.frames,
              letters * ScriptedSynthesizer::kSamplesPerChar + words * ScriptedSynthesizer::kGap);
    EXPECT_EQ(program.win.SaveExt, ".wav");
    EXPECT_EQ(w->windowTitle(), "English (TTS5.0)");
    EXPECT_EQ(dialogs.messages.size(), 1);
    ASSERT_TRUE(finishNotice(windows));
    EXPECT_EQ(finishNotice(windows)->Label2->text(), path("speech.wav"));
    EXPECT_EQ(finishNotice(windows)->Label6->text(), "English (TTS5.0)");
}

TEST_F(ReaderTest, ExitDuringASaveStopsItAtOnceAndLeavesNoTemporaryFiles) {
    const QString longText = kSentences.repeated(60);
    for (const QString voice : {"Mary (TTS4.0)", "English (TTS5.0)"}) {
        // The WAV stage of an MP3: the rendering stops and its temporary WAV goes.
        ASSERT_TRUE(start());
        exited = false;
        pick(voice);
        w->RichTextBox1->setPlainText(longText);
        gen4.synth->delayPerCallMs = 200;
        gen5.synth->delayPerCallMs = 200;
        dialogs.answer(std::optional<FileChoice>(FileChoice{path("book"), 3}));
        w->Command4_Click();
        ASSERT_TRUE(w->isRecording()) << voice.toStdString();
        w->ExitAll();
        EXPECT_TRUE(exited) << voice.toStdString();
        EXPECT_FALSE(w->isRecording());
        EXPECT_FALSE(QFile::exists(save(*w).TempWav)) << voice.toStdString();
        // The rendering has stopped; its late end starts nothing.
        spinFor(300);
        EXPECT_FALSE(w->Wavelin1->isRecording()) << voice.toStdString();
        EXPECT_TRUE(w->WaveVoice1->WaitUntilDone(0)) << voice.toStdString();
        EXPECT_TRUE(processes.started.isEmpty()) << voice.toStdString();
        EXPECT_FALSE(QFile::exists(save(*w).TempWav)) << voice.toStdString();
        EXPECT_FALSE(QFile::exists(path("book.mp3")));
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages[0].text.toStdString();
        EXPECT_FALSE(windows.isOpen(app::WindowId::Mp3End));

        // A WAV written straight to its target keeps what was rendered, and no more.
        ASSERT_TRUE(start());
        pick(voice);
        w->RichTextBox1->setPlainText(longText);
        dialogs.answer(std::optional<FileChoice>(FileChoice{path("direct"), 4}));
        w->Command4_Click();
        ASSERT_TRUE(spinUntil([&] { return readWave(path("direct.wav")).frames > 0; }, 15000));
        w->ExitAll();
        const std::int64_t kept = readWave(path("direct.wav")).frames;
        spinFor(300);
        EXPECT_EQ(readWave(path("direct.wav")).frames, kept) << voice.toStdString();
        const int letters = QString(longText).remove(' ').size();
        const int words = int(longText.split(' ', Qt::SkipEmptyParts).size());
        EXPECT_LT(kept, letters * ScriptedSynthesizer::kSamplesPerChar +
                            words * ScriptedSynthesizer::kGap)
            << voice.toStdString();
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages[0].text.toStdString();
        EXPECT_FALSE(windows.isOpen(app::WindowId::Mp3End));
        ASSERT_TRUE(QFile::remove(path("direct.wav")));
    }
    gen4.synth->delayPerCallMs = 0;
    gen5.synth->delayPerCallMs = 0;

    // The encoder's stage: the encoder is ended, both temporary files go.
    ASSERT_TRUE(start());
    exited = false;
    ASSERT_TRUE(makeFakeEncoder(path()));
    pick("English (TTS5.0)");
    w->RichTextBox1->setPlainText(kSentences);
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("book"), 3}));
    w->Command4_Click();
    ASSERT_TRUE(spinUntil([&] { return !processes.started.isEmpty(); }, 15000));
    const qint64 pid = processes.started[0].pid;
    ASSERT_TRUE(writeFileAtomically(save(*w).TempMp3, "ID3 half an MP3"));
    w->ExitAll();
    EXPECT_TRUE(exited);
    EXPECT_EQ(processes.terminated, QList<qint64>{pid});
    EXPECT_FALSE(processes.isAlive(pid));
    EXPECT_FALSE(QFile::exists(save(*w).TempWav));
    EXPECT_FALSE(QFile::exists(save(*w).TempMp3));
    EXPECT_FALSE(QFile::exists(path("book.mp3")));
    EXPECT_FALSE(w->isRecording());

    // The next run saves as before.
    ASSERT_TRUE(start());
    pick("English (TTS5.0)");
    w->RichTextBox1->setPlainText(kSentences);
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("again"), 4}));
    w->Command4_Click();
    ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 15000));
    EXPECT_GT(readWave(path("again.wav")).frames, 0);
    EXPECT_TRUE(finishNotice(windows));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ReaderTest, EncoderFailuresKeepTheSpeechAsWav) {
    ASSERT_TRUE(start());
    pick("English (TTS5.0)");
    w->RichTextBox1->setPlainText(kSentences);
    {
        // No encoder anywhere: said once the WAV is made, which is kept beside the target.
        ScopedEnv noSearchPath("PATH", "/nonexistent-sonorel");
        dialogs.answer(std::optional<FileChoice>(FileChoice{path("book"), 3}));
        w->Command4_Click();
        ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 15000));
    }
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("\"lame\""));
    EXPECT_TRUE(dialogs.messages[0].text.contains(path("book.wav")));
    EXPECT_GT(readWave(path("book.wav")).frames, 0);
    EXPECT_FALSE(QFile::exists(path("book.mp3")));
    EXPECT_FALSE(QFile::exists(save(*w).TempWav));
    EXPECT_FALSE(w->isRecording());
    EXPECT_EQ(w->speechSave->Timer102->interval(), 0);
    EXPECT_FALSE(windows.isOpen(app::WindowId::Mp3End));

    // An encoder that ends without writing anything: the next free WAV name.
    ASSERT_TRUE(makeFakeEncoder(path()));
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("book"), 3}));
    w->Command4_Click();
    ASSERT_TRUE(spinUntil([&] { return !processes.started.isEmpty(); }, 15000));
    ASSERT_EQ(processes.started.size(), 1);
    EXPECT_EQ(w->speechSave->Timer102->interval(), 500);
    w->speechSave->Timer102_Timer();
    EXPECT_TRUE(w->isRecording()) << "still waiting for the encoder";
    processes.finish(processes.started[0].pid);
    w->speechSave->Timer102_Timer();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].text.contains("ended without writing"));
    EXPECT_TRUE(dialogs.messages[1].text.contains(path("book (2).wav")));
    EXPECT_GT(readWave(path("book (2).wav")).frames, 0);
    EXPECT_FALSE(w->isRecording());
    EXPECT_FALSE(windows.isOpen(app::WindowId::Mp3End));
}

TEST_F(ReaderTest, AFailedRenderingIsReportedNotCelebrated) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText(kSentences);
    for (const QString voice : {"Mary (TTS4.0)", "English (TTS5.0)"}) {
        pick(voice);
        dialogs.messages.clear();
        dialogs.answer(std::optional<FileChoice>(FileChoice{path("no/such/folder/talk"), 4}));
        w->Command4_Click();
        ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 10000));
        ASSERT_EQ(dialogs.messages.size(), 1) << voice.toStdString();
        EXPECT_TRUE(dialogs.messages[0].text.startsWith("Sonorel could not save the speech to " +
                                                        path("no/such/folder/talk.wav")));
        EXPECT_FALSE(windows.isOpen(app::WindowId::Mp3End));
        EXPECT_EQ(w->windowTitle(), voice);
    }
}

TEST_F(ReaderTest, TextSavedWhileARecordingRunsLeavesTheRecordingItsOwnTarget) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(makeFakeEncoder(path()));
    w->RichTextBox1->setPlainText(kSentences);
    gen4.synth->delayPerCallMs = 100;
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("talk"), 3}));
    w->Command4_Click();
    ASSERT_TRUE(w->isRecording());

    // The text goes to a file of its own while the voice renders.
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("notes"), 2}));
    w->Command4_Click();
    EXPECT_EQ(readWholeFile(path("notes.txt")), kSentences.toUtf8() + "\r\n");
    ASSERT_TRUE(w->isRecording());
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("other"), 4}));
    w->Command4_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("still saving speech to " + path("talk.mp3")))
        << dialogs.messages[0].text.toStdString();

    // The encoder (a double here) writes its MP3 and ends.
    ASSERT_TRUE(spinUntil([&] { return !processes.started.isEmpty(); }, 15000));
    const QByteArray mp3 = "ID3 the encoded speech";
    ASSERT_TRUE(writeFileAtomically(save(*w).TempMp3, mp3));
    processes.finish(processes.started[0].pid);
    ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 15000));

    EXPECT_EQ(readWholeFile(path("talk.mp3")), mp3);
    EXPECT_EQ(readWholeFile(path("notes.txt")), kSentences.toUtf8() + "\r\n");
    EXPECT_FALSE(QFile::exists(save(*w).TempWav));
    EXPECT_FALSE(QFile::exists(save(*w).TempMp3));
    EXPECT_EQ(dialogs.messages.size(), 1);
    ASSERT_TRUE(finishNotice(windows));
    EXPECT_EQ(finishNotice(windows)->Label2->text(), path("talk.mp3"));
}
