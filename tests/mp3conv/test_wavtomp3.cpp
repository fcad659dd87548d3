// The WAV-to-MP3 converter: its record file, the checks of Convert, the four
// modes, the progress and the finish window on doubles; then the real encoder on
// real WAV files in folders with blanks, beside a running batch job.

#include "app/readerfixture.h"
#include "batch/batchtext2sound.h"
#include "mp3conv/wavtomp3.h"
#include "shared/recordcodec.h"
#include "support/wavefile.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>

using namespace sonorel;
using namespace sonorel::test;
using mp3conv::wavtomp3;
using mp3conv::wavtomp3end;
using platform::MessageAnswer;

namespace {

// A small WAV of silence: a real RIFF header and some samples.
bool writeWav(const QString& path, int samples) {
    QByteArray data(samples * 2, '\0');
    QByteArray wav;
    const auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xff));
    };
    const auto u16 = [&](quint16 v) {
        wav.append(char(v & 0xff));
        wav.append(char(v >> 8));
    };
    wav += "RIFF";
    u32(36 + data.size());
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(16000);
    u32(32000);
    u16(2);
    u16(16);
    wav += "data";
    u32(data.size());
    wav += data;
    return writeFileAtomically(path, wav);
}

class Converter : public ReaderTest {
protected:
    void SetUp() override {
        ReaderTest::SetUp();
        ASSERT_TRUE(start());
        ASSERT_TRUE(QDir(path()).mkpath("my sounds"));
        ASSERT_TRUE(QDir(path()).mkpath("out"));
        ASSERT_TRUE(QDir(path()).mkpath("tmp"));
        for (const char* picture : {"open0.bmp", "open1.bmp"})
            QFile::copy(QString(SONOREL_BIN_DIR) + "/" + picture, path(picture));
        mp3conv::registerConverter(windows, *services);
    }
    wavtomp3& open() {
        windows.show(app::WindowId::Converter);
        return *static_cast<wavtomp3*>(windows.find(app::WindowId::Converter));
    }
    QStringList messageTexts() const {
        QStringList texts;
        for (const platform::MessageSpec& m : dialogs.messages)
            texts << m.text;
        return texts;
    }
};

} // namespace

TEST_F(Converter, Tomp3IniHoldsTheTwoDialogFoldersAndIsWrittenWhenTheWindowCloses) {
    const QByteArray bytes = mp3conv::encodeTomp3({"/Sounds/", "/Out/"});
    ASSERT_EQ(bytes.size(), 2 + 8 + 2 + 5);
    EXPECT_EQ(bytes.left(10), QByteArray("\x08\x00/Sounds/", 10));
    EXPECT_EQ(bytes.mid(10), QByteArray("\x05\x00/Out/", 7));

    wavtomp3& c = open();
    EXPECT_EQ(c.windowTitle(), "Convert wav to mp3 by Sonorel");
    EXPECT_EQ(c.record().openFolder, path()) << "both start at the program's folder";
    EXPECT_EQ(readWholeFile(path("tomp3.ini")), mp3conv::encodeTomp3({path(), path()}));

    dialogs.answer(std::optional<platform::FileChoice>({path("my sounds/talk.wav"), 1}));
    c.Image1->click();
    dialogs.answer(std::optional<platform::FileChoice>({path("out/talk.MP3"), 1}));
    c.Image2->click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 2);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Select A File");
    EXPECT_EQ(dialogs.fileDialogs[0].filters[0].description, "Wave File (*.wav)");
    EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, path());
    EXPECT_EQ(dialogs.fileDialogs[1].title, "Save as");
    EXPECT_EQ(dialogs.fileDialogs[1].filters[0].description, "MP3 File(*.mp3)");
    EXPECT_EQ(c.Text1->text(), path("my sounds/talk.wav"));
    EXPECT_EQ(c.Text2->text(), path("out/talk.MP3.mp3")) << "case counts";
    windows.unload(app::WindowId::Converter);
    EXPECT_EQ(readWholeFile(path("tomp3.ini")),
              mp3conv::encodeTomp3({path("my sounds") + "/", path("out") + "/"}));
    // The next opening starts there.
    wavtomp3& again = open();
    dialogs.answer(std::optional<platform::FileChoice>());
    again.Image1->click();
    EXPECT_EQ(dialogs.fileDialogs.last().initialFolder, path("my sounds") + "/");
}

TEST_F(Converter, ConvertChecksItsPathsAndAsksBeforeReplacingATarget) {
    wavtomp3& c = open();
    const QString seven = "/a/b.wa";
    ASSERT_EQ(seven.size(), 7);
    c.Text1->setText(seven);
    c.Command2->click();
    c.Text1->setText(" /a/b.wav ");
    c.Command2->click();
    ASSERT_TRUE(writeFileAtomically(path("text.wav"), "not a wave file at all"));
    c.Text1->setText(path("text.wav"));
    c.Command2->click();
    ASSERT_TRUE(writeWav(path("good.wav"), 1600));
    c.Text1->setText(path("good.wav"));
    c.Text2->setText("/a.mp3");
    c.Command2->click();
    EXPECT_EQ(messageTexts(),
              QStringList({"Please select a source wav file", "/a/b.wav is not exist",
                           path("text.wav") + " is not a WAV file, so it cannot be converted to "
                                              "MP3.",
                           "Please input a target mp3 file name, like as c:\\hero.mp3"}));
    ASSERT_TRUE(makeFakeEncoder(path()));
    ASSERT_TRUE(writeFileAtomically(path("out/old.mp3"), "old"));
    c.Text2->setText(path("out/old.mp3"));
    dialogs.answer(MessageAnswer::No);
    c.Command2->click();
    const platform::MessageSpec& question = dialogs.messages.last();
    EXPECT_EQ(question.text,
              path("out/old.mp3") + " is already exist,do you want to overwrite it ?");
    EXPECT_EQ(question.title, "Message");
    EXPECT_EQ(question.buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(question.icon, platform::MessageIcon::Critical);
    EXPECT_EQ(question.defaultButton, 2);
    EXPECT_TRUE(processes.started.isEmpty()) << "nothing is started on No, nor on any refusal";
    EXPECT_EQ(readWholeFile(path("out/old.mp3")), "old");
    EXPECT_FALSE(c.isConverting());
    EXPECT_TRUE(c.Label1->isHidden());
}

TEST_F(Converter, TheFourModesRouteBlankPathsThroughTheTemporaryNames) {
    ASSERT_TRUE(makeFakeEncoder(path()));
    ASSERT_TRUE(writeWav(path("plain.wav"), 16000));
    ASSERT_TRUE(writeWav(path("my sounds/talk.wav"), 16000));
    ASSERT_TRUE(QDir(path()).mkpath("out dir"));
    struct Case {
        QString source, target;
        int mode;
        QString input, output;
    };
    const QString tw = path("w2mtmp.wav"), tm = path("w2mtmp.mp3");
    const QList<Case> cases = {
        {path("plain.wav"), path("out/a.mp3"), 1, path("plain.wav"), path("out/a.mp3")},
        {path("my sounds/talk.wav"), path("out/b.mp3"), 2, tw, path("out/b.mp3")},
        {path("plain.wav"), path("out dir/c.mp3"), 3, path("plain.wav"), tm},
        {path("my sounds/talk.wav"), path("out dir/d.mp3"), 4, tw, tm},
    };
    wavtomp3& c = open();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.mode);
        c.Text1->setText(k.source);
        c.Text2->setText(k.target);
        c.Command2->click();
        ASSERT_TRUE(c.isConverting());
        EXPECT_EQ(c.ConvertMode, k.mode);
        const FakeLauncher::Started& run = processes.started.last();
        EXPECT_EQ(run.arguments, QStringList({"-f", k.input, k.output}));
        EXPECT_EQ(c.Wav2Mp3, k.input + " " + k.output);
        if (k.mode == 2 || k.mode == 4) {
            EXPECT_EQ(readWholeFile(tw), readWholeFile(k.source)) << "the encoder reads a copy";
        }
        EXPECT_FALSE(c.Label1->isHidden());
        // The unit: a hundredth of the expected MP3 (32044 bytes of WAV here).
        EXPECT_EQ(c.EstimateMp3Unit, std::llround(32044.0 / 24844076 * 2253740 / 100));
        c.Command2->click();
        EXPECT_EQ(messageTexts().last(), "Sonorel is still converting " + k.source +
                                             ". Please wait until it has finished.");
        const qsizetype started = processes.started.size();

        VbTimer* timer = QList<VbTimer*>{c.Timer1, c.Timer2, c.Timer3, c.Timer4}[k.mode - 1];
        EXPECT_EQ(timer->interval(), 500);
        clock.advanceSeconds(3725);
        ASSERT_TRUE(writeFileAtomically(k.output, QByteArray(int(c.EstimateMp3Unit * 42), 'm')));
        emit timer->timeout();
        EXPECT_EQ(c.Label1->text(), "42%");
        EXPECT_EQ(c.Label2->text(), "01:02:05");
        ASSERT_TRUE(writeFileAtomically(k.output, QByteArray(int(c.EstimateMp3Unit * 250), 'm')));
        emit timer->timeout();
        EXPECT_EQ(c.Label1->text(), "100%");
        EXPECT_TRUE(c.isConverting());
        EXPECT_EQ(processes.started.size(), started) << "the refused second Convert started none";
        processes.finish(run.pid); // its end notice runs the tick at once
        EXPECT_FALSE(c.isConverting());
        EXPECT_TRUE(c.Label1->isHidden());
        EXPECT_EQ(QFileInfo(k.target).size(), c.EstimateMp3Unit * 250);
        ASSERT_TRUE(windows.isOpen(app::WindowId::ConverterEnd));
        auto* end = static_cast<wavtomp3end*>(windows.find(app::WindowId::ConverterEnd));
        EXPECT_EQ(end->Label1->text(), k.source);
        EXPECT_EQ(end->Label2->text(), k.target);
        clock.advanceSeconds(-3725);
    }
    auto* end = static_cast<wavtomp3end*>(windows.find(app::WindowId::ConverterEnd));
    end->Command1->click();
    EXPECT_EQ(shell.opened, QStringList({path("out dir/d.mp3")}));
}

TEST_F(Converter, AnEncoderThatEndsWithoutOutputEndsTheWaitWithAMessage) {
    ASSERT_TRUE(makeFakeEncoder(path()));
    ASSERT_TRUE(writeWav(path("plain.wav"), 1600));
    wavtomp3& c = open();
    c.Text1->setText(path("plain.wav"));
    c.Text2->setText(path("out/x.mp3"));
    c.Command2->click();
    ASSERT_TRUE(c.isConverting());
    c.Timer1_Timer();
    EXPECT_TRUE(c.isConverting()) << "no output yet, the encoder still runs";
    processes.finish(processes.started.last().pid);
    EXPECT_FALSE(c.isConverting());
    EXPECT_EQ(messageTexts(),
              QStringList({"The MP3 encoder ended without writing " + path("out/x.mp3") + "."}));
    EXPECT_FALSE(windows.isOpen(app::WindowId::ConverterEnd));
}

TEST_F(Converter, ThePictureUnderThePointerLightsUp) {
    wavtomp3& c = open();
    const QImage rest = QPixmap(path("open1.bmp")).toImage();
    const QImage lit = QPixmap(path("open0.bmp")).toImage();
    ASSERT_FALSE(rest.isNull());
    ASSERT_NE(rest, lit);
    const auto shows = [](QToolButton* b) { return b->icon().pixmap(32, 32).toImage(); };
    EXPECT_EQ(shows(c.Image1), rest);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(c.Image1, &enter);
    EXPECT_EQ(shows(c.Image1), lit);
    EXPECT_EQ(shows(c.Image2), rest);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(c.Image1, &leave);
    EXPECT_EQ(shows(c.Image1), rest);
}

TEST_F(Converter, EveryControlOfBothWindowsHasANameAndIsReachedByTab) {
    ASSERT_TRUE(makeFakeEncoder(path()));
    ASSERT_TRUE(writeWav(path("plain.wav"), 1600));
    wavtomp3& c = open();
    c.Text1->setText(path("plain.wav"));
    c.Text2->setText(path("out/x.mp3"));
    c.Command2->click();
    ASSERT_TRUE(writeFileAtomically(path("out/x.mp3"), "mp3"));
    processes.finish(processes.started.last().pid);
    ASSERT_TRUE(windows.isOpen(app::WindowId::ConverterEnd));
    for (QWidget* window :
         {windows.find(app::WindowId::Converter), windows.find(app::WindowId::ConverterEnd)}) {
        int reached = 0;
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (!(control->focusPolicy() & Qt::TabFocus))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(a, nullptr);
            EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
                << control->metaObject()->className();
            ++reached;
        }
        EXPECT_GE(reached, 2);
    }
    EXPECT_TRUE(c.Image1->focusPolicy() & Qt::TabFocus) << "the picture buttons take the focus";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(c.Image2)->text(QAccessible::Name),
              "Browse for the target mp3 file");
}

TEST(RealConverter, RealWavsInFoldersWithBlanksBecomeMp3sBesideARunningBatchJob) {
    RealWindow real;
    ASSERT_TRUE(real.loaded);
    const QDir dir(real.dir.path());
    ASSERT_TRUE(dir.mkpath("my sounds"));
    ASSERT_TRUE(dir.mkpath("out dir"));
    ASSERT_TRUE(dir.mkpath("texts"));
    const QString wav = dir.filePath("my sounds/speech.wav");
    QProcess espeak;
    espeak.start("espeak-ng", {"-w", wav, "The converter turns this speech into an MP3 file."});
    ASSERT_TRUE(espeak.waitForFinished(30000));
    ASSERT_GT(readWave(wav).frames, 0);
    mp3conv::registerConverter(real.windows, real.services);

    // A batch job runs meanwhile: it has its own names and timers.
    ASSERT_TRUE(writeFileAtomically(dir.filePath("speak.dot"), "probe"));
    ASSERT_TRUE(writeFileAtomically(dir.filePath("texts/t.txt"), "A batch file, spoken."));
    real.program.win.BatchSourceFolder = dir.filePath("texts");
    real.program.win.BatchTargetFolder = dir.filePath("out dir");
    real.pick("English (America) (TTS5.0)");
    batch::BatchText2Sound w8(real.services, real.program, real.w);
    w8.Check1->click();
    w8.Command2->click();
    ASSERT_FALSE(w8.JobIdle());

    real.windows.show(app::WindowId::Converter);
    auto& c = *static_cast<wavtomp3*>(real.windows.find(app::WindowId::Converter));
    for (const QString& target : {dir.filePath("out/plain.mp3"), dir.filePath("out dir/b.mp3")}) {
        ASSERT_TRUE(dir.mkpath("out"));
        c.Text1->setText(wav);
        c.Text2->setText(target);
        c.Command2->click();
        ASSERT_TRUE(c.isConverting()) << real.dialogs.messages.value(0).text.toStdString();
        EXPECT_EQ(c.ConvertMode, target.contains(' ') ? 4 : 2);
        ASSERT_TRUE(spinUntil([&] { return !c.isConverting(); }, 60000));
        EXPECT_TRUE(real.dialogs.messages.isEmpty()) << real.dialogs.messages[0].text.toStdString();
        EXPECT_TRUE(looksLikeMp3(target)) << target.toStdString();
        EXPECT_GT(QFileInfo(target).size(), 5000);
        EXPECT_TRUE(real.windows.isOpen(app::WindowId::ConverterEnd));
    }
    ASSERT_TRUE(spinUntil([&] { return w8.JobIdle(); }, 60000));
    EXPECT_TRUE(looksLikeMp3(dir.filePath("out dir/t.mp3")));
    EXPECT_EQ(real.dialogs.notices.value(0).text,
              "Converting is complete\n1 of 1 files converted.");
}
