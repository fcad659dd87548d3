// Mmedia's command strings, recorded by a double of the media interpreter.

#include "media/mmedia.h"
#include "support/fakes.h"
#include "support/recordingmedia.h"

#include <gtest/gtest.h>

namespace sonorel::test {
namespace {

using media::Mmedia;

class MmediaTest : public ::testing::Test {
protected:
    FakeClock clock{QDateTime(QDate(2026, 3, 10), QTime(10, 7, 30))};
    RecordingMediaControl control;
    Mmedia m{control, clock};
};

TEST_F(MmediaTest, OpeningChoosesTheDeviceByExtensionInAnyCase) {
    m.mmOpen("/s/bell.WAV");
    m.mmOpen("/s/bell.wav");
    m.mmOpen("/s/tune.Mid");
    m.mmOpen("/s/film.avi");
    EXPECT_EQ(control.commands,
              QStringList({"Open /s/bell.WAV ALIAS WAV7 TYPE Waveaudio wait", "Close WAV7",
                           "Open /s/bell.wav ALIAS wav7 TYPE Waveaudio wait", "Close wav7",
                           "Open /s/tune.Mid ALIAS Mid7 TYPE Sequencer wait", "Close Mid7",
                           "Open /s/film.avi ALIAS avi7 TYPE AviVideo wait"}));
    EXPECT_EQ(m.Filename(), "/s/film.avi");
    // Any other extension closes the open file and opens nothing.
    control.commands.clear();
    m.mmOpen("/s/song.mp3");
    EXPECT_EQ(control.commands, QStringList({"Close avi7"}));
    EXPECT_EQ(m.Filename(), "");
    m.mmPlay();
    m.mmPause();
    m.mmStop();
    m.mmClose();
    EXPECT_EQ(control.commands.size(), 1) << "commands sent with nothing open";
    // The minute of the hour, without a leading zero, makes the alias.
    clock.set(QDateTime(QDate(2026, 3, 10), QTime(23, 59, 0)));
    m.setFilename("/s/bell.wav");
    EXPECT_EQ(control.commands.last(), "Open /s/bell.wav ALIAS wav59 TYPE Waveaudio wait");
    clock.set(QDateTime(QDate(2026, 3, 11), QTime(0, 0, 0)));
    m.mmOpen("/s/bell.wav");
    EXPECT_EQ(control.commands.last(), "Open /s/bell.wav ALIAS wav0 TYPE Waveaudio wait");
}

TEST_F(MmediaTest, PathsWithBlanksAreQuotedAndTheAliasIsNot) {
    m.mmOpen("/home/me/My Sounds/bell.wav");
    EXPECT_EQ(control.commands,
              QStringList({"Open \"/home/me/My Sounds/bell.wav\" ALIAS wav7 TYPE Waveaudio wait"}));
    EXPECT_EQ(m.Filename(), "/home/me/My Sounds/bell.wav");
}

TEST_F(MmediaTest, ClosingTwiceSendsOneCloseAndReopeningClosesFirst) {
    m.mmOpen("/s/bell.wav");
    m.mmOpen("/s/bell.wav"); // the same minute: the same alias, closed first
    m.mmClose();
    m.mmClose();
    EXPECT_EQ(control.commands,
              QStringList({"Open /s/bell.wav ALIAS wav7 TYPE Waveaudio wait", "Close wav7",
                           "Open /s/bell.wav ALIAS wav7 TYPE Waveaudio wait", "Close wav7"}));
    EXPECT_EQ(m.Filename(), "");
}

TEST_F(MmediaTest, PlayPauseStopAndSeekCommands) {
    m.mmOpen("/s/bell.wav");
    control.commands.clear();
    m.mmPlay();
    m.setWait(true);
    m.mmPlay();
    m.mmPause();
    m.mmStop();
    m.mmSeek(1500);
    m.setPosition(2.5f);
    EXPECT_EQ(control.commands,
              QStringList({"Play wav7", "Play wav7 wait", "Pause wav7", "Stop wav7",
                           "Seek wav7 to 1500", "Seek wav7 to 2.5"}));
    EXPECT_TRUE(m.Wait());
    // A seek is sent even with nothing open.
    m.mmClose();
    control.commands.clear();
    m.mmSeek(0);
    EXPECT_EQ(control.commands, QStringList({"Seek  to 0"}));
}

TEST_F(MmediaTest, StatusQueriesReadTheLeadingNumber) {
    // Nothing open: nothing asked, 0 and empty text.
    EXPECT_EQ(m.Length(), 0.0f);
    EXPECT_EQ(m.Position(), 0.0f);
    EXPECT_EQ(m.Status(), "");
    EXPECT_TRUE(control.commands.isEmpty());

    m.mmOpen("/s/bell.wav");
    control.replies["Status wav7 length"] = "1600";
    control.replies["Status wav7 position"] = QString("  12.5") + QChar(0) + "99";
    control.replies["Status wav7 mode"] = "playing";
    EXPECT_EQ(m.Length(), 1600.0f);
    EXPECT_EQ(m.Position(), 12.5f);
    EXPECT_EQ(m.Status(), "playing");
    EXPECT_EQ(control.commands.mid(1),
              QStringList({"Status wav7 length", "Status wav7 position", "Status wav7 mode"}));
    const QList<std::pair<QString, float>> replies{
        {"250ms", 250}, {"1 600", 1600}, {"-3", -3}, {"4e2 frames", 400}, {"7.", 7},
        {"error", 0},   {"", 0},         {"-", 0},   {"1e", 1},           {".5", 0.5f}};
    for (const auto& [reply, value] : replies) {
        control.replies["Status wav7 length"] = reply;
        EXPECT_EQ(m.Length(), value) << reply.toStdString();
    }
    // The reply buffer holds 255 characters.
    control.replies["Status wav7 mode"] = QString(300, 'x');
    EXPECT_EQ(m.Status().size(), 255);
    control.replies["Status wav7 mode"] = QString("stopped") + QChar(0) + "junk";
    EXPECT_EQ(m.Status(), "stopped");
}

} // namespace
} // namespace sonorel::test
