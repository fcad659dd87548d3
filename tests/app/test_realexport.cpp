// Speech saved as WAV and MP3 with the real voices and the real encoder.

#include "export/speechrecording.h"
#include "readerfixture.h"
#include "support/wavefile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

using namespace sonorel;
using namespace sonorel::test;

TEST(RealExport, BothFamiliesSaveWavAndMp3ThroughTheRealEncoder) {
    RealWindow real;
    app::sorelmain& w = real.w;
    ASSERT_TRUE(real.loaded);
    w.RichTextBox1->setPlainText("Sonorel saves speech as sound files. It writes a wave file "
                                 "first. The encoder then makes an MP3 of it.");

    struct Voice {
        QString entry;
        int rate;
    };
    for (const Voice& voice :
         {Voice{"Mary (TTS4.0)", 16000}, Voice{"English (America) (TTS5.0)", 22050}}) {
        real.pick(voice.entry);
        for (const int type : {4, 3}) {
            const QString name = QString::number(voice.rate) + (type == 4 ? ".wav" : ".mp3");
            real.dialogs.answer(std::optional<platform::FileChoice>(
                platform::FileChoice{real.dir.filePath(QString::number(voice.rate)), type}));
            w.Command4_Click();
            ASSERT_TRUE(spinUntil([&] { return !w.isRecording(); }, 60000)) << name.toStdString();
            ASSERT_TRUE(real.dialogs.messages.isEmpty())
                << real.dialogs.messages[0].text.toStdString();
            ASSERT_TRUE(real.windows.isOpen(app::WindowId::Mp3End)) << name.toStdString();
            real.windows.unload(app::WindowId::Mp3End);
            if (type == 4) {
                const WaveStats wave = readWave(real.dir.filePath(name));
                EXPECT_EQ(wave.rate, voice.rate);
                EXPECT_GT(wave.seconds(), 3.0) << name.toStdString(); // about 6 s of speech
                EXPECT_LT(wave.seconds(), 15.0) << name.toStdString();
                EXPECT_GT(wave.rms, 300) << name.toStdString();
            } else {
                EXPECT_TRUE(looksLikeMp3(real.dir.filePath(name))) << name.toStdString();
                EXPECT_GT(QFileInfo(real.dir.filePath(name)).size(), 10000);
                EXPECT_TRUE(QDir(real.dir.filePath("tmp")).isEmpty()) << "temporaries are gone";
            }
        }
    }
}

TEST(RealExport, ExitDuringASaveEndsAtOnceWithoutTemporaryFiles) {
    const QString sentence = "Sonorel reads this sentence aloud into a file, once more. ";
    struct Stage {
        const char* name;
        int sentences;
        bool waitForEncoder;
    };
    // The espeak-ng rendering of a long text, then the real encoder on a shorter one.
    for (const Stage& stage : {Stage{"rendering", 2000, false}, Stage{"encoder", 150, true}}) {
        RealWindow real;
        app::sorelmain& w = real.w;
        ASSERT_TRUE(real.loaded);
        bool exited = false;
        w.onExit = [&] { exited = true; };
        real.pick("English (America) (TTS5.0)");
        w.RichTextBox1->setPlainText(sentence.repeated(stage.sentences));
        real.dialogs.answer(std::optional<platform::FileChoice>(
            platform::FileChoice{real.dir.filePath("book"), 3}));
        w.Command4_Click();
        ASSERT_TRUE(w.isRecording()) << stage.name;
        const QString tmp = real.dir.filePath("tmp");
        const exporting::RecordingState& save = w.speechSave->state();
        std::optional<qint64> encoder;
        if (stage.waitForEncoder) {
            ASSERT_TRUE(spinUntil([&] { return save.encoder.pid().has_value(); }, 120000));
            encoder = *save.encoder.pid();
            ASSERT_TRUE(real.processes.isAlive(*encoder)) << "the encoder is still at work";
        } else {
            ASSERT_TRUE(spinUntil([&] { return QFileInfo(save.TempWav).size() > 100000; }, 60000));
        }
        w.ExitAll();
        EXPECT_TRUE(exited) << stage.name;
        EXPECT_FALSE(w.isRecording()) << stage.name;
        if (encoder) {
            EXPECT_FALSE(real.processes.isAlive(*encoder)) << "the encoder was ended";
        }
        EXPECT_TRUE(QDir(tmp).isEmpty()) << stage.name;
        // Nothing of the stopped save comes back later.
        spinFor(500);
        EXPECT_TRUE(QDir(tmp).isEmpty()) << stage.name;
        EXPECT_FALSE(QFile::exists(real.dir.filePath("book.mp3"))) << stage.name;
        EXPECT_TRUE(real.dialogs.messages.isEmpty()) << stage.name;
        EXPECT_FALSE(real.windows.isOpen(app::WindowId::Mp3End)) << stage.name;
    }
}
