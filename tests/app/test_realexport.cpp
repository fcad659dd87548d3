// Speech saved as WAV and MP3 with the real voices and the real encoder.

#include "app/sorelmain.h"
#include "export/mp3end.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "readerfixture.h"
#include "support/wavefile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

using namespace sonorel;
using namespace sonorel::test;

TEST(RealExport, BothFamiliesSaveWavAndMp3ThroughTheRealEncoder) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("tmp"));
    FakeProgramFolder folder{dir.path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    platform::LinuxProcessLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{dir.filePath("tmp")};
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    app::Services services{
        folder,    registry,
        dialogs,   clock,
        processes, shell,
        temp,      gen4,
        gen5,      platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "test")};
    app::Program program;
    app::Windows windows;
    app::sorelmain w(services, program, windows);
    ASSERT_TRUE(w.Form_Load({}));
    w.RichTextBox1->setPlainText("Sonorel saves speech as sound files. It writes a wave file "
                                 "first. The encoder then makes an MP3 of it.");

    struct Voice {
        QString entry;
        int rate;
    };
    for (const Voice& voice :
         {Voice{"Mary (TTS4.0)", 16000}, Voice{"English (America) (TTS5.0)", 22050}}) {
        w.Command7_Click();
        w.Combo1->hidePopup();
        w.Combo1->setCurrentIndex(w.Combo1->findText(voice.entry));
        w.Combo1_Click();
        for (const int type : {4, 3}) {
            const QString name = QString::number(voice.rate) + (type == 4 ? ".wav" : ".mp3");
            dialogs.answer(std::optional<platform::FileChoice>(
                platform::FileChoice{dir.filePath(QString::number(voice.rate)), type}));
            w.Command4_Click();
            ASSERT_TRUE(spinUntil([&] { return !w.isRecording(); }, 60000)) << name.toStdString();
            ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages[0].text.toStdString();
            ASSERT_TRUE(windows.isOpen(app::WindowId::Mp3End)) << name.toStdString();
            windows.unload(app::WindowId::Mp3End);
            if (type == 4) {
                const WaveStats wave = readWave(dir.filePath(name));
                EXPECT_EQ(wave.rate, voice.rate);
                EXPECT_GT(wave.seconds(), 3.0) << name.toStdString(); // about 6 s of speech
                EXPECT_LT(wave.seconds(), 15.0) << name.toStdString();
                EXPECT_GT(wave.rms, 300) << name.toStdString();
            } else {
                EXPECT_TRUE(looksLikeMp3(dir.filePath(name))) << name.toStdString();
                EXPECT_GT(QFileInfo(dir.filePath(name)).size(), 10000);
                EXPECT_TRUE(QDir(dir.filePath("tmp")).isEmpty()) << "temporaries are gone";
            }
        }
    }
}
