// sonorel-say converting several files into a folder, on worker processes, with
// the real engines and encoders.

#include "sayfixture.h"
#include "support/wavefile.h"

#include <csignal>
#include <QThread>
#include <sys/types.h>

namespace sonorel::test {
namespace {

const QString kG5 = QStringLiteral("English (America) (TTS5.0)");

class SayFolderTest : public SayTest {
protected:
    QStringList contents(const QString& folder) const {
        return QDir(path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray bytesOf(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(SayFolderTest, EachTextFileBecomesTheSoundASingleRunMakes) {
    QDir().mkpath(path("in/sub"));
    writeFile("in/one.txt", kText.toUtf8());
    writeFile("in/two.part.txt", "A second file, with dots inside its name.");
    writeFile("in/three.TXT", "The third one is shouted in its extension.");
    writeFile("in/readme.md", "Not a text file of the folder.");
    writeFile("in/sub/four.txt", "Subfolders are not looked into.");

    const SayRun r = say({"-v", kG5, "-f", path("in"), "-d", path("out"), "--subtitles", "srt"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(contents("out"), (QStringList{"one.srt", "one.wav", "three.srt", "three.wav",
                                            "two.part.srt", "two.part.wav"}));
    // A worker speaks a file as a run of its own does. (espeak-ng carries a
    // little state from one text to the next: up to some 50 ms, not to the byte.)
    ASSERT_EQ(say({"-v", kG5, "-f", path("in/two.part.txt"), "-o", path("single.wav"),
                   "--subtitles", path("single.srt")})
                  .status,
              0);
    const WaveStats worker = readWave(path("out/two.part.wav"));
    const WaveStats single = readWave(path("single.wav"));
    EXPECT_EQ(worker.rate, single.rate);
    EXPECT_NEAR(worker.seconds(), single.seconds(), 0.1);
    EXPECT_NEAR(worker.rms, single.rms, single.rms * 0.05);
    const auto cueTexts = [this](const QString& name) {
        QStringList texts = QString::fromUtf8(bytesOf(name)).split(u'\n');
        texts.removeIf([](const QString& l) { return l.isEmpty() || l[0].isDigit(); });
        return texts;
    };
    EXPECT_EQ(cueTexts("out/two.part.srt"), cueTexts("single.srt"));
    EXPECT_FALSE(cueTexts("single.srt").isEmpty());

    // MP3 with the other generation: frames all through, as long as the speech.
    const SayRun mp3 = say({"-v", "Mary", "-f", path("in/one.txt"), "-f", path("in/three.TXT"),
                            "-d", path("mp3"), "--format", "mp3"});
    ASSERT_EQ(mp3.status, 0) << mp3.err.toStdString();
    EXPECT_EQ(contents("mp3"), (QStringList{"one.mp3", "three.mp3"}));
    ASSERT_EQ(say({"-v", "Mary", "-f", path("in/one.txt"), "-o", path("one.wav")}).status, 0);
    const Mp3Walk walk = walkMp3(path("mp3/one.mp3"));
    EXPECT_FALSE(walk.brokenChain);
    EXPECT_NEAR(walk.seconds, readWave(path("one.wav")).seconds(), 0.12);
}

TEST_F(SayFolderTest, AFileThatFailsIsNamedAndTheOthersAreWritten) {
    QDir().mkpath(path("empty"));
    writeFile("good.txt", kText.toUtf8());
    const SayRun r = say({"-f", path("missing.txt"), "-f", path("good.txt"), "-f", path("empty"),
                          "-d", path("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(path("missing.txt").toUtf8() + ": no such file"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(path("empty").toUtf8() + " holds no .txt files"));
    EXPECT_TRUE(r.err.contains("1 of 2 files converted"));
    EXPECT_EQ(contents("out"), QStringList{"good.wav"});

    // An encoder that gives up fails every file, and leaves nothing.
    const QProcessEnvironment env = failingEncoder();
    writeFile("other.txt", kText.toUtf8());
    const SayRun lame =
        say({"-f", path("good.txt"), "-f", path("other.txt"), "-d", path("mp3"), "--format", "mp3"},
            {}, env);
    EXPECT_EQ(lame.status, 1);
    EXPECT_EQ(lame.err.count("disk on fire"), 2) << lame.err.toStdString();
    EXPECT_TRUE(lame.err.contains(path("mp3/other.mp3").toUtf8()));
    EXPECT_TRUE(lame.err.contains("0 of 2 files converted"));
    EXPECT_TRUE(contents("mp3").isEmpty()) << contents("mp3").join(' ').toStdString();
}

TEST_F(SayFolderTest, NamesThatMeetAndFoldersThatCannotBeWrittenStopBeforeSpeaking) {
    QDir().mkpath(path("a"));
    QDir().mkpath(path("b"));
    writeFile("a/x.txt", "first");
    writeFile("b/x.txt", "second");
    const SayRun meet = say({"-f", path("a"), "-f", path("b"), "-d", path("out")});
    EXPECT_EQ(meet.status, 2);
    EXPECT_TRUE(meet.err.contains(path("a/x.txt").toUtf8()) &&
                meet.err.contains(path("b/x.txt").toUtf8()))
        << meet.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out")));

    // A "folder" that is a file, and one inside a file.
    for (const QString& folder : {path("a/x.txt"), path("a/x.txt/deeper")}) {
        const SayRun r = say({"-f", path("a"), "-d", folder});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(folder.toUtf8())) << r.err.toStdString();
    }
    // A file given itself and through its folder is spoken once.
    const SayRun twice = say({"-f", path("a"), "-f", path("a/x.txt"), "-d", path("once")});
    EXPECT_EQ(twice.status, 0) << twice.err.toStdString();
    EXPECT_EQ(contents("once"), QStringList{"x.wav"});
}

// The worker processes a running folder conversion has started.
QList<int> childrenOf(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    QList<int> pids;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& p : f.readAll().split(' '))
            if (p.trimmed().toInt() > 0)
                pids.append(p.trimmed().toInt());
    return pids;
}

bool isWorker(int pid) {
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return f.open(QIODevice::ReadOnly) && f.readAll().contains("--worker");
}

TEST_F(SayFolderTest, RunsAWorkerOnEachProcessorAndAnInterruptionStopsThemAll) {
    QByteArray book;
    for (int i = 0; i < 2000; ++i)
        book += kText.toUtf8() + '\n';
    QDir().mkpath(path("in"));
    for (const char* name : {"in/a.txt", "in/b.txt", "in/c.txt", "in/d.txt"})
        writeFile(name, book);
    const int expected = std::clamp(QThread::idealThreadCount(), 1, 4);
    const auto parts = [&] {
        return QDir(path("out")).entryList({"*.part"}, QDir::Files | QDir::Hidden).size();
    };
    // SIGTERM to the run alone, and Ctrl-C as a terminal sends it: SIGINT to the
    // whole process group, the workers and their encoders included.
    for (const bool wholeGroup : {false, true}) {
        SCOPED_TRACE(wholeGroup ? "SIGINT to the group" : "SIGTERM to the run");
        QProcess p;
        // setsid: a process group of its own, as a shell gives a command.
        p.start("setsid", {SONOREL_BIN_DIR "/sonorel-say", "-v", kG5, "-f", path("in"), "-d",
                           path("out"), "--format", "mp3"});
        ASSERT_TRUE(p.waitForStarted());
        QList<int> workers;
        while (p.state() == QProcess::Running &&
               (parts() < expected || workers.size() < expected)) {
            p.waitForFinished(20);
            workers = childrenOf(p.processId());
            workers.removeIf([](int pid) { return !isWorker(pid); });
        }
        ASSERT_EQ(workers.size(), expected) << "one worker for each processor";
        EXPECT_EQ(parts(), expected) << "each worker is writing its own file";

        if (wholeGroup)
            ::kill(-pid_t(p.processId()), SIGINT);
        else
            p.terminate();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1);
        const QByteArray said = p.readAllStandardError();
        EXPECT_EQ(said, "sonorel-say: interrupted: 0 of 4 files written\n") << said.toStdString();
        EXPECT_TRUE(contents("out").isEmpty()) << contents("out").join(' ').toStdString();
        for (const int pid : workers)
            EXPECT_FALSE(isWorker(pid)) << "worker " << pid << " outlived the run";
    }
}

} // namespace
} // namespace sonorel::test
