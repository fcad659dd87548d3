// Start-up, the settings files and shutdown of the reader's main window.

#include "readerfixture.h"
#include "shared/linkcommand.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>

using namespace sonorel;
using namespace sonorel::test;

TEST_F(ReaderTest, FirstStartListsEveryVoiceAndSelectsMary) {
    ASSERT_TRUE(start());
    QStringList entries;
    for (int i = 0; i < w->Combo1->count(); ++i)
        entries << QString("%1=%2").arg(w->Combo1->itemText(i)).arg(w->Combo1->itemData(i).toInt());
    EXPECT_EQ(entries,
              (QStringList{"Mary (TTS4.0)=400001", "Kal (TTS4.0)=400002", "Rms (TTS4.0)=400003",
                           "English (TTS5.0)=500000", "German (TTS5.0)=500001"}));
    EXPECT_EQ(program.Sapi4Count, 3);
    EXPECT_EQ(w->Combo1->currentText(), "Mary (TTS4.0)");
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0)");
    EXPECT_EQ(program.tts,
              (TTSSets{4, 1, "Mary", 33, 28})); // speed 100 in 50..200, pitch 120 in 50..300
    EXPECT_EQ(w->Label5->text(), "33");
    EXPECT_EQ(w->VScroll3->value(), 28);
    EXPECT_FALSE(w->StartTTS4Engine || w->StartTTS4Speed || w->StartTTS4Pitch);
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    // First run: the marker is written and the help follows three seconds later.
    EXPECT_EQ(registry.dword(platform::RegistryRoot::LocalMachine, app::kFirstRunKey, "UseTimes"),
              9u);
    EXPECT_EQ(w->firstuse->interval(), 3000);
    EXPECT_EQ(w->SaveSettings->interval(), 15000);
    ASSERT_TRUE(start());
    EXPECT_EQ(w->firstuse->interval(), 0);
}

TEST_F(ReaderTest, WithoutMaryNoVoiceIsSelected) {
    gen4.names = {"Kal"};
    ASSERT_TRUE(start());
    EXPECT_EQ(program.tts.EngineGeneration, 0);
    EXPECT_EQ(w->Combo1->currentIndex(), -1);
    // Reading does nothing until a voice is picked.
    w->RichTextBox1->setPlainText("hello");
    w->Command5_Click();
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    // The next start finds the empty record and selects the first voice.
    stop();
    ASSERT_TRUE(start());
    EXPECT_EQ(w->Combo1->currentText(), "Kal (TTS4.0)");
    EXPECT_EQ(program.tts.EngineGeneration, 4);
}

TEST_F(ReaderTest, FewerThanTwoVoicesReportsAndEnds) {
    gen4.names = {"Mary"};
    gen5.names = {};
    dialogs.answer(platform::MessageAnswer::Yes);
    EXPECT_FALSE(start());
    ASSERT_EQ(dialogs.messages.size(), 1);
    const platform::MessageSpec& m = dialogs.messages[0];
    EXPECT_EQ(m.title, "Sonorel");
    EXPECT_EQ(m.buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(m.icon, platform::MessageIcon::Critical);
    EXPECT_TRUE(m.text.startsWith("Can not find appropriate speech engine! Free download "
                                  "appropriate speech engine from "));
    EXPECT_TRUE(m.text.endsWith(" ?"));
    EXPECT_EQ(shell.opened, QStringList{app::kDownloadPage});
    EXPECT_FALSE(QFile::exists(path("stts.ini")));
}

TEST_F(ReaderTest, StartModes) {
    QFile f(path("notes.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Read me.");
    f.close();
    EXPECT_EQ(app::sorelmain::StartFrom(path("notes.txt")), "explorer");
    EXPECT_EQ(app::sorelmain::StartFrom('"' + path("notes.txt") + '"'), "internet");
    EXPECT_EQ(app::sorelmain::StartFrom("some words"), "internet");
    EXPECT_EQ(app::sorelmain::StartFrom("x"), "");
    EXPECT_EQ(app::sorelmain::StartFrom(""), "program");

    ASSERT_TRUE(start(path("notes.txt")));
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "Read me.");
    EXPECT_EQ(w->PlayStatus, reading::Speaking);

    ASSERT_TRUE(start(kLinkToken + "_1Text from the browser"));
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "Text from the browser");
    EXPECT_EQ(w->ActivateMe, 0); // consumed by the Speak it started
    EXPECT_EQ(w->PlayStatus, reading::Speaking);

    ASSERT_TRUE(start("x"));
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    EXPECT_TRUE(w->RichTextBox1->toPlainText().isEmpty());

    exited = false;
    EXPECT_FALSE(start(kLinkToken + "-"));
    EXPECT_TRUE(exited);
}

TEST_F(ReaderTest, AnExitCommandEndsTheStartUpThere) {
    EXPECT_FALSE(start(kLinkToken + "-"));
    EXPECT_TRUE(exited);
    // The first-run help is still to come on the next real start.
    EXPECT_FALSE(registry.dword(platform::RegistryRoot::LocalMachine, app::kFirstRunKey,
                                app::kFirstRunValue));
    EXPECT_EQ(w->firstuse->interval(), 0);
    ASSERT_TRUE(start());
    EXPECT_EQ(w->firstuse->interval(), 3000);
}

// The running copy works in its own folder, so a second copy hands over what its
// command line names in the second copy's folder by its absolute path; a first
// copy reads a relative path in its own folder.
TEST_F(ReaderTest, RelativePathsNameFilesOfTheStartingFolder) {
    ASSERT_TRUE(QDir().mkpath(path("here/sub")));
    ASSERT_TRUE(writeFileAtomically(path("here/notes.txt"), "Read me."));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(path("here")));
    const auto handOver = &app::sorelmain::handOverCommand;
    EXPECT_EQ(handOver("notes.txt"), path("here/notes.txt"));
    EXPECT_EQ(handOver("./sub/../notes.txt"), path("here/notes.txt"));
    EXPECT_EQ(handOver("sub"), path("here/sub")); // refused there, but in the right folder
    EXPECT_EQ(handOver(path("here/notes.txt")), path("here/notes.txt"));
    EXPECT_EQ(handOver("other.txt"), "other.txt"); // text, as typed
    EXPECT_EQ(handOver("some words"), "some words");
    EXPECT_EQ(handOver(kLinkToken + "_1notes.txt"), kLinkToken + "_1notes.txt");
    EXPECT_EQ(handOver(kLinkToken + "_3"), kLinkToken + "_3");

    EXPECT_EQ(app::sorelmain::StartFrom("notes.txt"), "explorer");
    const bool started = start("notes.txt");
    QDir::setCurrent(before);
    ASSERT_TRUE(started);
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "Read me.");
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
}

TEST_F(ReaderTest, SettingsSurviveARestart) {
    ASSERT_TRUE(start());
    pick("German (TTS5.0)");
    w->VScroll2->setValue(70);
    w->VScroll3->setValue(12);
    stop();
    ASSERT_TRUE(start());
    EXPECT_EQ(w->Combo1->currentText(), "German (TTS5.0)");
    EXPECT_EQ(program.tts, (TTSSets{5, 1, "German", 70, 12}));
    EXPECT_EQ(w->NewsVoice1->Voice().GetDescription(), "German");
    EXPECT_EQ(w->NewsVoice1->Rate(), 4);
    EXPECT_EQ(w->VoiceSayTime->Rate(), 4);
    EXPECT_EQ(w->VScroll1->value(), 100); // volume always starts full
}

TEST_F(ReaderTest, DamagedOrForeignSettingsFallBackToTheFirstVoice) {
    const auto startWith = [&](const QByteArray& stts) {
        QFile::remove(path("stts.ini"));
        writeFileAtomically(path("stts.ini"), stts);
        EXPECT_TRUE(start());
        return w->Combo1->currentText();
    };
    EXPECT_EQ(startWith(encodeRecord(TTSSets{5, 9, "Gone", 50, 50})), "Mary (TTS4.0)");
    EXPECT_EQ(startWith(encodeRecord(TTSSets{0, 0, "", 0, 0})), "Mary (TTS4.0)");
    EXPECT_EQ(startWith(QByteArray("\x05\x00", 2)), "Mary (TTS4.0)");
    EXPECT_EQ(startWith(encodeRecord(TTSSets{5, 1, "German", 50, 50})), "German (TTS5.0)");
    // A name differing in letter case is no settings file: the defaults apply.
    QFile::rename(path("stts.ini"), path("STTS.INI"));
    ASSERT_TRUE(start());
    EXPECT_EQ(w->Combo1->currentText(), "Mary (TTS4.0)");
    EXPECT_EQ(program.tts.RateValue, 33);
}

TEST_F(ReaderTest, HiddenWindowStartsHiddenAndGarbageWindowSettingsStayUsable) {
    ASSERT_TRUE(start());
    w->show();
    w->hide();
    stop();
    ASSERT_TRUE(start());
    EXPECT_TRUE(w->startsHidden());
    writeFileAtomically(path("swin.ini"), QByteArray(37, '\x7f'));
    ASSERT_TRUE(start());
    EXPECT_GE(w->height(), 100);
    EXPECT_GE(w->width(), w->minimumWidth());
}

TEST_F(ReaderTest, ClosingWithoutANotificationAreaKeepsTheWindowReachable) {
    ASSERT_TRUE(start());
    w->show();
    w->close();
    EXPECT_TRUE(w->isVisible()); // minimized, still on the task bar
    EXPECT_FALSE(program.ExitRequested);
    EXPECT_FALSE(QFile::exists(path("swin.ini")));
    w->ExitAll();
    EXPECT_TRUE(exited);
    EXPECT_TRUE(QFile::exists(path("swin.ini")));
    EXPECT_TRUE(QFile::exists(path("stts.ini")));
}
