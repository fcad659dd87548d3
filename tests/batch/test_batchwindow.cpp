// The batch window over a main window on doubles: scripted voices, an in-memory
// registry, a launcher double and scripted dialogs. The stages are ticked by hand
// (quick stages off) where a test follows one stage at a time.

#include "app/readerfixture.h"
#include "batch/batchtext2sound.h"
#include "export/progress.h"
#include "export/speechrecording.h"
#include "shared/recordcodec.h"
#include "support/wavefile.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <thread>

using namespace sonorel;
using namespace sonorel::test;
using batch::BatchConversion;
using batch::BatchText2Sound;
namespace speech = platform::speech;

namespace {

class BatchWindow : public ReaderTest {
protected:
    void SetUp() override {
        ReaderTest::SetUp();
        ASSERT_TRUE(start());
        ASSERT_TRUE(QDir(path()).mkpath("src"));
        ASSERT_TRUE(QDir(path()).mkpath("out dir"));
        ASSERT_TRUE(writeFileAtomically(path("speak.dot"), "probe"));
        program.win.BatchDrive = "/";
        program.win.BatchSourceFolder = path("src");
        program.win.BatchTargetFolder = path("out dir");
    }
    void TearDown() override { b.reset(); }

    void write(const QString& name, const QByteArray& text) {
        ASSERT_TRUE(writeFileAtomically(path("src/" + name), text));
    }
    // Opens the window; `quick` off leaves every stage to its tick.
    BatchText2Sound& open(bool quick = false) {
        b = std::make_unique<BatchText2Sound>(*services, program, *w);
        b->job().setQuickStages(quick);
        return *b;
    }
    BatchConversion& job() { return b->job(); }
    const batch::BatchState& state() { return b->job().state(); }
    QList<VbTimer*> armed() {
        QList<VbTimer*> list;
        for (VbTimer* timer : job().timers())
            if (timer->interval() > 0)
                list << timer;
        return list;
    }
    // Waits for the wave-output thread without running events, so that nothing
    // but the test moves the stages.
    bool waitForWaveEnd() {
        for (int i = 0; i < 2000; ++i) {
            if (registry.dword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue) ==
                1u)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    QStringList messageTexts() const {
        QStringList texts;
        for (const platform::MessageSpec& m : dialogs.messages)
            texts << m.text;
        return texts;
    }
    // One step of a generation-4 MP3 job by hand: whatever stage is armed runs
    // once its condition holds (the WAV complete, the MP3 written, the encoder ended).
    void advance4() {
        BatchConversion& j = job();
        if (j.Timer41->interval() > 0)
            j.Timer41_Timer();
        else if (j.Timer42->interval() > 0) {
            ASSERT_TRUE(waitForWaveEnd());
            j.Timer42_Timer();
        } else if (j.Timer43->interval() > 0)
            j.Timer43_Timer();
        else if (j.Timer44->interval() > 0) {
            ASSERT_TRUE(writeFileAtomically(state().lists.TempMp3Files[state().CurrentIndex - 1],
                                            QByteArray(4000, 'm')));
            j.Timer44_Timer();
        } else if (j.Timer45->interval() > 0) {
            processes.finish(processes.started.last().pid);
            j.Timer45_Timer();
        }
    }

    std::unique_ptr<BatchText2Sound> b;
};

} // namespace

TEST_F(BatchWindow, StartChecksSayWhatIsWrongAndStartNothing) {
    BatchText2Sound& w8 = open();
    EXPECT_EQ(w8.windowTitle(), "Batch Convert Text Files to Sound Files  - Sonorel");
    // An empty source folder: nothing happens, without a message.
    w8.Text1->setText("   ");
    w8.Command2->click();
    w8.Command5->click();
    EXPECT_TRUE(dialogs.messages.isEmpty());

    write("one.txt", "One.");
    w8.Dir1_Change();
    w8.Command2->click();
    w8.Text1->setText(path("nowhere"));
    w8.Command5->click();
    w8.Text1->setText(path("out dir"));
    QFile::remove(path("speak.dot"));
    w8.Command2->click();
    ASSERT_TRUE(writeFileAtomically(path("speak.dot"), "probe"));
    w8.Command2->click(); // nothing selected
    EXPECT_EQ(messageTexts(), QStringList({"Please select target folder",
                                           "Please select an available target folder",
                                           "Some files are lost, please reinstall Sonorel",
                                           "Please select at least one file"}));
    for (const platform::MessageSpec& m : dialogs.messages) {
        EXPECT_EQ(m.title, "Sonorel");
        EXPECT_EQ(m.buttons, platform::MessageButtons::Ok);
    }
    EXPECT_TRUE(w8.JobIdle());
    EXPECT_TRUE(armed().isEmpty());
    EXPECT_FALSE(w8.Command4->isEnabled());
    EXPECT_TRUE(w8.Command2->isEnabled());
    EXPECT_FALSE(QFile::exists(path("out dir/speak.dot")));
    EXPECT_EQ(program.win.BatchTargetFolder, path("out dir")) << "the box's text is remembered";
}

TEST_F(BatchWindow, LoadFallsBackToTheRootForDrivesAndFoldersThatAreGone) {
    program.win.BatchDrive = "C:";
    program.win.BatchSourceFolder = "C:\\texts";
    program.win.BatchTargetFolder = path("gone");
    BatchText2Sound& w8 = open();
    EXPECT_EQ(w8.Drive1->currentText(), "/");
    EXPECT_EQ(program.win.BatchDrive, "/");
    EXPECT_EQ(w8.Dir1->path(), "/");
    EXPECT_EQ(program.win.BatchSourceFolder, "/");
    EXPECT_EQ(w8.Text2->text(), "/");
    EXPECT_EQ(program.win.BatchTargetFolder, "/");
    EXPECT_EQ(w8.Text1->text(), "/");
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "the load shows no message";
}

TEST_F(BatchWindow, PickingAnotherDriveMovesTheFolderListAndTheSameDriveKeepsIt) {
    ASSERT_TRUE(QDir(path()).mkpath("src/deeper"));
    program.win.BatchSourceFolder = path("src/deeper");
    BatchText2Sound& w8 = open();
    w8.setDrives({"/", path()});
    w8.Form_Load();
    const auto choose = [&](const QString& drive) {
        w8.Drive1->setCurrentIndex(w8.Drive1->findText(drive));
        w8.Drive1_Change();
    };
    choose(path()); // the drive that holds the folder: the folder stays
    EXPECT_EQ(w8.Dir1->path(), path("src/deeper"));
    choose("/");
    EXPECT_EQ(w8.Dir1->path(), "/");
    EXPECT_EQ(program.win.BatchDrive, "/");
    choose(path());
    EXPECT_EQ(w8.Dir1->path(), path()) << "the root of the chosen drive";
    EXPECT_EQ(program.win.BatchSourceFolder, path());

    // A drive that went away meanwhile.
    w8.setDrives({"/", path("unplugged")});
    w8.Form_Load();
    w8.Drive1->addItem(path("unplugged"));
    choose(path("unplugged"));
    EXPECT_EQ(messageTexts(), QStringList({"Device unavailable"}));
    EXPECT_EQ(program.win.BatchDrive, "/");
}

TEST_F(BatchWindow, TheFileListShowsTextFilesAndAFolderChangeClearsItsSelection) {
    write("b.txt", "B");
    write("a.b.txt", "A");
    write("notes.md", "no");
    ASSERT_TRUE(QDir(path()).mkpath("src/inner"));
    write("inner/c.txt", "C");
    BatchText2Sound& w8 = open();
    ASSERT_EQ(w8.File1->count(), 2);
    EXPECT_EQ(w8.File1->item(0)->text(), "a.b.txt");
    EXPECT_EQ(w8.File1->item(1)->text(), "b.txt");
    EXPECT_EQ(w8.Text2->text(), path("src"));
    w8.Check1->click();
    EXPECT_EQ(w8.File1->selectedItems().size(), 2);
    w8.Check1->click();
    EXPECT_TRUE(w8.File1->selectedItems().isEmpty());
    w8.Check1->click();

    // Into "inner" the way a user does: the entry activated.
    const auto found = w8.Dir1->findItems("inner", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    emit w8.Dir1->itemActivated(found[0]);
    EXPECT_EQ(w8.Dir1->path(), path("src/inner"));
    EXPECT_EQ(program.win.BatchSourceFolder, path("src/inner"));
    EXPECT_FALSE(w8.Check1->isChecked());
    ASSERT_EQ(w8.File1->count(), 1);
    EXPECT_TRUE(w8.File1->selectedItems().isEmpty());
    emit w8.Dir1->itemActivated(w8.Dir1->item(0)); // ".."
    EXPECT_EQ(w8.Dir1->path(), path("src"));
}

TEST_F(BatchWindow, AnMp3JobOfGeneration4RunsFiveStagesPerFileAndSaysWhenItIsComplete) {
    pick("Mary (TTS4.0)");
    ASSERT_TRUE(makeFakeEncoder(path()));
    write("a.b.txt", "The first file has a dotted name.");
    write("one two.txt", "The second file has a blank in its name.");
    write("three.txt", "The third file.");
    BatchText2Sound& w8 = open();
    w8.Check1->click();
    w8.Command2->click();
    ASSERT_FALSE(w8.JobIdle());
    EXPECT_EQ(w8.Label4->text(), "MP3s");
    EXPECT_TRUE(w8.Command4->isEnabled());
    for (QWidget* c : {(QWidget*)w8.Command1, (QWidget*)w8.Command2, (QWidget*)w8.Command3,
                       (QWidget*)w8.Command5, (QWidget*)w8.Text1})
        EXPECT_FALSE(c->isEnabled());
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer41}));
    EXPECT_EQ(program.RecStart, clock.now());

    job().Timer41_Timer();
    EXPECT_EQ(w8.Label3->text(), "1/3");
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer42}));
    ASSERT_TRUE(waitForWaveEnd());
    job().Timer42_Timer();
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer43}));
    clock.advanceSeconds(3725);
    job().Timer43_Timer();
    EXPECT_EQ(w8.Label2->text(), "Mary (TTS4.0)   Completed: 50%  Elapsed Time: 01:02:05");
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer44}));
    ASSERT_EQ(processes.started.size(), 1);
    const QString wav = path("a.b.wav"), mp3 = path("a.b.mp3");
    EXPECT_EQ(processes.started[0].arguments, QStringList({"-f", wav, mp3}));
    EXPECT_EQ(processes.started[0].mode, platform::WindowMode::Hidden);
    EXPECT_EQ(state().Wav2Mp3, wav + " " + mp3);
    // The control's own stop notice starts no second encoder.
    QCoreApplication::sendPostedEvents(w->Wavelin1);
    EXPECT_EQ(processes.started.size(), 1);

    job().Timer44_Timer();
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer44})) << "no MP3 yet: the stage waits";
    // An MP3 far beyond its estimate.
    ASSERT_TRUE(writeFileAtomically(mp3, QByteArray(int(QFileInfo(wav).size()), 'm')));
    job().Timer44_Timer();
    job().Timer45_Timer();
    EXPECT_EQ(w8.Label2->text(), "Mary (TTS4.0)   Completed: 100%  Elapsed Time:01:02:05");
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer45})) << "the encoder still runs";
    processes.finish(processes.started[0].pid);
    job().Timer45_Timer();
    EXPECT_TRUE(QFile::exists(path("out dir/a.b.mp3")));
    EXPECT_FALSE(QFile::exists(wav));
    EXPECT_FALSE(QFile::exists(mp3));
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer41}));

    for (int i = 0; i < 12 && w8.Label3->text() != "2/3"; ++i)
        advance4();
    EXPECT_EQ(processes.started.size(), 1);
    gen4.synth->delayPerCallMs = 300; // the third file is still rendering below
    for (int i = 0; i < 12 && w8.Label3->text() == "2/3"; ++i)
        advance4();
    EXPECT_EQ(processes.started[1].arguments,
              QStringList({"-f", path("one two.wav"), path("one two.mp3")}));
    EXPECT_TRUE(QFile::exists(path("out dir/one two.mp3")));
    // The third file renders while the second file's stop notice comes late: it
    // starts no encoder on a WAV that is not complete.
    ASSERT_EQ(w8.Label3->text(), "3/3");
    ASSERT_EQ(armed(), QList<VbTimer*>({job().Timer42}));
    QCoreApplication::sendPostedEvents(w->Wavelin1);
    EXPECT_EQ(processes.started.size(), 2);
    EXPECT_TRUE(state().skipped.isEmpty());
    for (int i = 0; i < 12 && !w8.JobIdle(); ++i)
        advance4();
    EXPECT_EQ(processes.started.size(), 3);
    EXPECT_TRUE(QFile::exists(path("out dir/three.mp3")));
    ASSERT_TRUE(w8.JobIdle());
    EXPECT_TRUE(armed().isEmpty());
    ASSERT_EQ(dialogs.notices.size(), 1);
    EXPECT_EQ(dialogs.notices[0].text, "Converting is complete\n3 of 3 files converted.");
    EXPECT_EQ(dialogs.notices[0].title, "Sonorel");
    EXPECT_FALSE(w8.Command4->isEnabled());
    EXPECT_TRUE(w8.Command2->isEnabled());
    EXPECT_TRUE(w8.Text1->isEnabled());
}

TEST_F(BatchWindow, AWavJobCapsItsFigureAt100AndAnMp3JobTargetingTheTemporaryFolderKeepsItsMp3) {
    pick("Mary (TTS4.0)");
    write("long.txt", QByteArray("Words. ").repeated(200));
    BatchText2Sound& w8 = open();
    // The estimate follows the main window's rate display: at 29000 it is far
    // below what the voice writes.
    w->Label5->setText("29000");
    w8.Check1->click();
    w8.Command5->click();
    job().TimerWAV41_Timer();
    ASSERT_TRUE(waitForWaveEnd());
    job().TimerWAV42_Timer();
    // The value is seen at the tick; before it the figure is the file's share.
    registry.setDword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue, 2);
    job().TimerWAV43_Timer();
    EXPECT_TRUE(w8.Label2->text().contains("Completed: 100%  Elapsed Time: 00:00:00"))
        << w8.Label2->text().toStdString();
    registry.setDword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue, 1);
    job().TimerWAV43_Timer();
    EXPECT_TRUE(w8.JobIdle());
    EXPECT_GT(readWave(path("out dir/long.wav")).frames, 0);
    QCoreApplication::sendPostedEvents(w->Wavelin1); // the control's stop notice

    // MP3 into the temporary folder itself: made in place, nothing moved or removed.
    ASSERT_TRUE(makeFakeEncoder(path()));
    w8.Text1->setText(path() + "/");
    w8.Check1->click();
    w8.Check1->click();
    w8.Command2->click();
    ASSERT_FALSE(w8.JobIdle()) << messageTexts().join("|").toStdString();
    for (int i = 0; i < 8 && !w8.JobIdle(); ++i)
        advance4();
    ASSERT_TRUE(w8.JobIdle());
    EXPECT_EQ(state().lists.TargetMp3Files, QStringList({path("long.mp3")}));
    EXPECT_EQ(QFileInfo(path("long.mp3")).size(), 4000);
    EXPECT_FALSE(QFile::exists(path("long.wav")));
    EXPECT_EQ(dialogs.notices.last().text, "Converting is complete\n1 of 1 files converted.");
}

TEST_F(BatchWindow, StopDuringAnyStageRunsNothingLaterAndKeepsTheFiles) {
    pick("Mary (TTS4.0)");
    ASSERT_TRUE(makeFakeEncoder(path()));
    write("one.txt", "The first file.");
    write("two.txt", "The second file.");
    BatchText2Sound& w8 = open();
    const QList<VbTimer*> stages = {job().Timer41, job().Timer42, job().Timer43, job().Timer44,
                                    job().Timer45};
    for (VbTimer* stage : stages) {
        SCOPED_TRACE(stages.indexOf(stage));
        w8.Check1->setChecked(false);
        w8.Check1->click();
        processes.started.clear();
        w8.Command2->click();
        for (int i = 0; i < 10 && stage->interval() == 0; ++i)
            advance4();
        ASSERT_GT(stage->interval(), 0);
        const int index = state().CurrentIndex;
        const qsizetype encoders = processes.started.size();
        const QStringList files = QDir(path()).entryList(QDir::Files);
        w8.Command4->click();
        EXPECT_TRUE(w8.JobIdle());
        EXPECT_TRUE(armed().isEmpty());
        EXPECT_FALSE(w8.Command4->isEnabled());
        EXPECT_TRUE(w8.Command1->isEnabled());
        // Every stage asked once more: none of them runs.
        for (VbTimer* timer : job().timers())
            emit timer->timeout();
        EXPECT_EQ(state().CurrentIndex, index);
        EXPECT_EQ(processes.started.size(), encoders);
        EXPECT_TRUE(armed().isEmpty());
        if (stage == job().Timer42 || stage == job().Timer43) {
            ASSERT_TRUE(waitForWaveEnd()) << "the control finishes its WAV";
        }
        QCoreApplication::sendPostedEvents(w->Wavelin1);
        EXPECT_EQ(processes.started.size(), encoders) << "no encoder after Stop";
        for (const QString& file : files)
            EXPECT_TRUE(QFile::exists(path(file))) << file.toStdString() << " is kept";
        for (const qint64 pid : QList<qint64>{1000, 1001, 1002, 1003, 1004, 1005, 1006})
            processes.finish(pid);
    }
    EXPECT_TRUE(dialogs.notices.isEmpty()) << "a stopped job shows no completion";
}

TEST_F(BatchWindow, StopWhileAGeneration5FileIsSpokenCompletesItsWavAndStartsItsEncoder) {
    pick("English (TTS5.0)");
    ASSERT_TRUE(makeFakeEncoder(path()));
    gen5.synth->delayPerCallMs = 40;
    write("one.txt", "A first sentence. A second sentence. A third sentence. And a fourth.");
    write("two.txt", "Never begun.");
    BatchText2Sound& w8 = open();
    w8.Check1->click();
    w8.Command2->click();
    job().Timer51_Timer();
    ASSERT_TRUE(state().speaking);
    EXPECT_EQ(armed(), QList<VbTimer*>({job().Timer52}));
    w8.Command4->click();
    EXPECT_TRUE(w8.JobIdle());
    EXPECT_TRUE(job().isBusy()) << "the file being spoken is still completed";
    w8.Command2->click();
    EXPECT_EQ(messageTexts().last(),
              "Sonorel is still finishing the file it was speaking when the job was stopped. "
              "Please start again in a moment.");
    ASSERT_TRUE(spinUntil([&] { return !job().isBusy(); }, 15000));
    EXPECT_GT(readWave(path("one.wav")).frames, 0);
    ASSERT_EQ(processes.started.size(), 1);
    EXPECT_EQ(processes.started[0].arguments,
              QStringList({"-f", path("one.wav"), path("one.mp3")}));
    EXPECT_TRUE(armed().isEmpty());
    EXPECT_EQ(state().CurrentIndex, 1);
    EXPECT_TRUE(dialogs.notices.isEmpty());
}

TEST_F(BatchWindow, UnreadableEmptyAndUnspeakableFilesAreSkippedAndTheJobGoesOn) {
    pick("English (TTS5.0)");
    write("a empty.txt", "  \n");
    write("b gone.txt", "Removed after the job started.");
    write("c good.txt", "Caf\xc3\xa9 na\xc3\xafve, spoken in full.");
    BatchText2Sound& w8 = open(true);
    w8.Check1->click();
    w8.Command5->click();
    ASSERT_TRUE(QFile::remove(path("src/b gone.txt")));
    ASSERT_TRUE(spinUntil([&] { return w8.JobIdle(); }, 15000));
    ASSERT_EQ(dialogs.notices.size(), 1);
    EXPECT_EQ(dialogs.notices[0].text,
              "Converting is complete\n1 of 3 files converted.\nSkipped: a empty.txt (it holds "
              "no text); b gone.txt (the file is missing)");
    EXPECT_GT(readWave(path("out dir/c good.wav")).frames, 0);
    EXPECT_FALSE(QFile::exists(path("out dir/a empty.wav")));

    // A voice that fails while it writes: reported in the progress line, skipped.
    pick("Mary (TTS4.0)");
    gen4.synth->failNext = true;
    QStringList lines;
    QObject::connect(&job(), &BatchConversion::progressLine,
                     [&](const QString& line) { lines << line; });
    w8.Dir1_Change(); // the folder read anew
    w8.Check1->click();
    w8.Command5->click();
    ASSERT_TRUE(spinUntil([&] { return w8.JobIdle(); }, 15000));
    ASSERT_EQ(dialogs.notices.size(), 2);
    EXPECT_TRUE(dialogs.notices[1].text.startsWith("Converting is complete\n0 of 2 files "
                                                   "converted.\nSkipped: a empty.txt (it holds "
                                                   "no text); c good.txt ("))
        << dialogs.notices[1].text.toStdString();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith("Skipped c good.txt: ");
    })) << lines.join("|").toStdString();
    EXPECT_FALSE(QFile::exists(path("out dir/c good.wav"))) << "a broken WAV is not left";
}

TEST_F(BatchWindow, EachFileTakesTheVoiceAndRateOfTheMainWindowWhenItStarts) {
    pick("English (TTS5.0)");
    write("one.txt", "First.");
    write("two.txt", "Second.");
    BatchText2Sound& w8 = open();
    w8.Check1->click();
    w8.Command5->click();
    job().TimerWAV51_Timer();
    EXPECT_EQ(w->WaveVoice1->Voice().description, "English");
    const int firstRate = w->WaveVoice1->Rate();
    ASSERT_TRUE(spinUntil([&] { return !state().speaking; }, 15000));
    // The user changes voice and rate while the first file is done.
    pick("German (TTS5.0)");
    w->VScroll2->setValue(w->VScroll2->value() + 20);
    job().TimerWAV52_Timer();
    ASSERT_GT(job().TimerWAV51->interval(), 0);
    job().TimerWAV51_Timer();
    EXPECT_EQ(w->WaveVoice1->Voice().description, "German");
    EXPECT_NE(w->WaveVoice1->Rate(), firstRate);
    EXPECT_EQ(w8.Label3->text(), "2/2");
    ASSERT_TRUE(spinUntil([&] { return !state().speaking; }, 15000));
    job().TimerWAV52_Timer();
    EXPECT_TRUE(w8.JobIdle());
    EXPECT_TRUE(QFile::exists(path("out dir/one.wav")));
    EXPECT_TRUE(QFile::exists(path("out dir/two.wav")));
}

TEST_F(BatchWindow, TheSpeechSaveAndABatchJobRefuseEachOtherByName) {
    pick("Mary (TTS4.0)");
    write("one.txt", "A file.");
    gen4.synth->delayPerCallMs = 50;
    w->RichTextBox1->setPlainText("The main window's text. It is saved as speech.");
    w->saveSpeech(false, path("speech.wav"));
    ASSERT_TRUE(w->isRecording());
    BatchText2Sound& w8 = open();
    w8.Check1->click();
    w8.Command5->click();
    EXPECT_TRUE(w8.JobIdle());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              "Sonorel cannot start the batch conversion while the speech save of the main "
              "window runs: both use the same recording. Please wait until it has finished, "
              "then start again.");
    ASSERT_TRUE(spinUntil([&] { return !w->isRecording(); }, 15000));

    w8.Command5->click();
    ASSERT_FALSE(w8.JobIdle());
    w->saveSpeech(false, path("speech2.wav"));
    EXPECT_FALSE(w->isRecording());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1].text,
              "Sonorel cannot start the speech save while the batch conversion of text files "
              "runs: both use the same recording. Please wait until it has finished, then "
              "start again.");
    EXPECT_FALSE(QFile::exists(path("speech2.wav")));
}

TEST_F(BatchWindow, TheWindowStaysOpenWhileAJobRunsAndClosesAfterStop) {
    pick("English (TTS5.0)");
    write("one.txt", "A file.");
    BatchText2Sound& w8 = open();
    w8.show();
    w8.Check1->click();
    w8.Command5->click();
    EXPECT_FALSE(w8.close());
    EXPECT_TRUE(w8.isVisible());
    w8.Command4->click();
    w8.Command1->click();
    EXPECT_FALSE(w8.isVisible());
}

TEST_F(BatchWindow, AGenerationWithoutVoicesEntersTheRunningStateAndOnlyStopEndsIt) {
    write("one.txt", "A file.");
    BatchText2Sound& w8 = open();
    program.tts.EngineGeneration = 0;
    w8.Check1->click();
    w8.Command5->click();
    EXPECT_FALSE(w8.JobIdle());
    EXPECT_TRUE(armed().isEmpty());
    w8.Command4->click();
    EXPECT_TRUE(w8.JobIdle());
}

TEST_F(BatchWindow, EveryControlHasANameAndIsReachedByTab) {
    BatchText2Sound& w8 = open();
    w8.show();
    int named = 0;
    for (QWidget* control : w8.findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
            << control->metaObject()->className() << " " << control->objectName().toStdString();
        ++named;
    }
    EXPECT_GE(named, 11);
    // Tab from the drive list visits every enabled control once, in the layout's order.
    QList<QWidget*> visited;
    QWidget* at = w8.Drive1;
    for (int i = 0; i < 12; ++i) {
        visited << at;
        do
            at = at->nextInFocusChain();
        while (!(at->focusPolicy() & Qt::TabFocus) || !at->isEnabled() || !at->isVisible());
    }
    EXPECT_EQ(visited.mid(0, 11),
              QList<QWidget*>({w8.Drive1, w8.Dir1, w8.File1, w8.Text2, w8.Check1, w8.Text1,
                               w8.Command3, w8.Command2, w8.Command5, w8.Command1, w8.Drive1}));
}
