// The MP3 encoder: found beside the program or on the search path, never given
// anything but a WAV, started with an argument list; and the file moves around it.

#include "export/encoder.h"
#include "shared/recordcodec.h"
#include "support/fakes.h"
#include "support/spin.h"
#include "support/tempdir.h"
#include "support/wavefile.h"

#include <filesystem>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::test;
using exporting::startEncoder;

namespace {
class ExportEncoder : public TempDirTest {
protected:
    void makeFakeLame() { ASSERT_TRUE(makeFakeEncoder(path())); }
    FakeLauncher launcher;
};
} // namespace

TEST_F(ExportEncoder, StartsTheEncoderBesideTheProgramOnAWavOnly) {
    makeFakeLame();
    ASSERT_TRUE(writeTone(path("in put.wav"), 0.2));
    const auto run = startEncoder(launcher, path(), path("in put.wav"), path("out put.mp3"));
    ASSERT_TRUE(run.pid) << run.error.toStdString();
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(launcher.started[0].program, path("lame"));
    // Blanks in the names need no quoting: each path is one argument.
    EXPECT_EQ(launcher.started[0].arguments,
              QStringList({"-f", path("in put.wav"), path("out put.mp3")}));
    EXPECT_EQ(launcher.started[0].mode, platform::WindowMode::Hidden);

    ASSERT_TRUE(writeFileAtomically(path("text.wav"), "just some words, not sound"));
    const auto refused = startEncoder(launcher, path(), path("text.wav"), path("o.mp3"));
    EXPECT_FALSE(refused.pid);
    EXPECT_TRUE(refused.error.contains("not a WAV file"));
    EXPECT_FALSE(startEncoder(launcher, path(), path("missing.wav"), path("o.mp3")).pid);
    EXPECT_EQ(launcher.started.size(), 1);

    launcher.failStarts = true;
    const auto failed = startEncoder(launcher, path(), path("in put.wav"), path("o.mp3"));
    EXPECT_FALSE(failed.pid);
    EXPECT_TRUE(failed.error.contains("could not be started"));
}

TEST_F(ExportEncoder, AMissingEncoderIsNamed) {
    ScopedEnv noSearchPath("PATH", "/nonexistent-sonorel");
    ASSERT_TRUE(writeTone(path("in.wav"), 0.2));
    const auto run = startEncoder(launcher, path(), path("in.wav"), path("out.mp3"));
    EXPECT_FALSE(run.pid);
    EXPECT_TRUE(run.error.contains("\"lame\"")) << run.error.toStdString();
    EXPECT_TRUE(launcher.started.isEmpty());
}

TEST_F(ExportEncoder, TheRealEncoderWritesAnMp3AndEnds) {
    platform::LinuxProcessLauncher real;
    ASSERT_TRUE(writeTone(path("tone.wav"), 2.0));
    const auto run = startEncoder(real, QString(), path("tone.wav"), path("tone.mp3"));
    ASSERT_TRUE(run.pid) << run.error.toStdString();
    ASSERT_TRUE(spinUntil([&] { return !real.isAlive(*run.pid); }, 30000));
    EXPECT_TRUE(looksLikeMp3(path("tone.mp3")));
    EXPECT_FALSE(looksLikeMp3(path("tone.wav")));
}

TEST_F(ExportEncoder, MovesReplaceWholeAndKeptWavesGetFreeNames) {
    ASSERT_TRUE(writeFileAtomically(path("a.mp3"), "new"));
    ASSERT_TRUE(writeFileAtomically(path("b.mp3"), "old"));
    EXPECT_EQ(exporting::moveFile(path("a.mp3"), path("b.mp3")), "");
    EXPECT_EQ(readWholeFile(path("b.mp3")), "new");
    EXPECT_FALSE(QFile::exists(path("a.mp3")));
    EXPECT_EQ(exporting::moveFile(path("b.mp3"), path("b.mp3")), "") << "same file: stays";
    EXPECT_EQ(readWholeFile(path("b.mp3")), "new");
    EXPECT_NE(exporting::moveFile(path("gone.mp3"), path("c.mp3")), "");
    EXPECT_NE(exporting::moveFile(path("b.mp3"), path("no/such/folder/c.mp3")), "");
    EXPECT_EQ(readWholeFile(path("b.mp3")), "new") << "a failed move keeps the source";

    // From the memory file system to this folder: copied, then renamed into place.
    if (QFileInfo("/dev/shm").isWritable()) {
        const QString shm = "/dev/shm/sonorel-move-test-" + QString::number(getpid());
        ASSERT_TRUE(writeFileAtomically(shm, "across"));
        EXPECT_EQ(exporting::moveFile(shm, path("b.mp3")), "");
        EXPECT_EQ(readWholeFile(path("b.mp3")), "across");
        EXPECT_FALSE(QFile::exists(shm));
        EXPECT_FALSE(QFile::exists(path("b.mp3.part")));
    }

    EXPECT_EQ(exporting::keptWavPath(path("story.mp3")), path("story.wav"));
    ASSERT_TRUE(writeFileAtomically(path("story.wav"), "x"));
    ASSERT_TRUE(writeFileAtomically(path("story (2).wav"), "x"));
    EXPECT_EQ(exporting::keptWavPath(path("story.mp3")), path("story (3).wav"));
    EXPECT_EQ(exporting::keptWavPath(path("song.MP3.mp3")), path("song.MP3.wav"));
}
