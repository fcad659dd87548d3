// Speech saved as WAV and MP3 with the real voices and the real encoder.

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
