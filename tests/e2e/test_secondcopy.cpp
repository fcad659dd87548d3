// The real reader program, started twice: the second copy hands its command line
// to the first and ends without a window. The first copy's reading is seen on the
// sound server, where its speech appears as a playback stream named "Sonorel".

#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <sys/stat.h>

namespace {

const QString kToken = "7D0A94E3B2C5F16850E7A3D9C4B1F062";

// Playback streams on the sound server that carry `mark`, as `pactl` lists them.
int streamsMarked(const QString& mark) {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    return int(pactl.readAllStandardOutput().count(("sonorel.run = \"" + mark + "\"").toUtf8()));
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

class SecondCopy : public sonorel::test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // A program folder of its own (settings are written beside the program)
        // and a runtime folder of its own (the link's socket lives there).
        for (const QString name : {"sorel", "speak.bmp", "pause.bmp", "bell.wav"})
            ASSERT_TRUE(QFile::copy(QString(SONOREL_BIN_DIR) + "/" + name, path(name)));
        QDir().mkpath(path("run"));
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("SONOREL_AUDIO", "pulse");
        // Marks this run's streams, whatever else plays on the server meanwhile.
        mark = QString::number(QCoreApplication::applicationPid()) + "-" + path().section('/', -1);
        env.insert("PULSE_PROP", "sonorel.run=" + mark);
        // The server keeps its own socket outside the runtime folder.
        const QString server = qEnvironmentVariable("PULSE_SERVER");
        if (server.isEmpty()) {
            QProcess info;
            info.start("pactl", {"info"});
            info.waitForFinished(5000);
            for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
                if (line.startsWith("Server String: "))
                    env.insert("PULSE_SERVER", QString::fromUtf8(line.mid(15)).trimmed());
        }
        ASSERT_TRUE(env.contains("PULSE_SERVER")) << "no PulseAudio server answers";
    }
    void TearDown() override {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished(5000);
        }
    }
    void startFirst(const QString& folder = {}) {
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(folder);
        first.start(path("sorel"), {});
        ASSERT_TRUE(first.waitForStarted(5000));
        // Serving once the socket exists.
        ASSERT_TRUE(waitFor(
            [&] { return !QDir(path("run")).entryList({"sonorel-*"}, QDir::System).isEmpty(); },
            10000));
        QThread::msleep(300);
        ASSERT_EQ(readerStreams(), 0);
    }
    // Runs a second copy to its end; its exit code, or -1 when it did not end.
    int runSecond(const QStringList& args, const QString& folder = {}) {
        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(folder);
        second.start(path("sorel"), args);
        if (!second.waitForFinished(10000)) {
            second.kill();
            return -1;
        }
        return second.exitCode();
    }
    int readerStreams() const { return streamsMarked(mark); }
    QProcessEnvironment env;
    QString mark;
    QProcess first;
};

} // namespace

TEST_F(SecondCopy, HandsReadTextToTheRunningCopy) {
    startFirst();
    EXPECT_EQ(runSecond({kToken + "_1Hello from a second copy, read by the first one."}), 0);
    EXPECT_TRUE(waitFor([&] { return readerStreams() > 0; }, 10000));
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SecondCopy, HandsAFilePathToTheRunningCopy) {
    QFile text(path("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Notes from a file, opened by a second copy.");
    text.close();
    startFirst();
    EXPECT_EQ(runSecond({path("notes.txt")}), 0);
    EXPECT_TRUE(waitFor([&] { return readerStreams() > 0; }, 10000));
    // A copy started without a command line just ends; the first goes on.
    EXPECT_EQ(runSecond({}), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
}

// `sorel notes.txt` in another folder than the running copy's: the file of the
// folder it was typed in is read.
TEST_F(SecondCopy, HandsARelativePathOverAsTheFileItNames) {
    ASSERT_TRUE(QDir().mkpath(path("first")));
    ASSERT_TRUE(QDir().mkpath(path("second")));
    QFile text(path("second/notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Notes in the folder of the second copy.");
    text.close();
    startFirst(path("first"));
    EXPECT_EQ(runSecond({"notes.txt"}, path("second")), 0);
    EXPECT_TRUE(waitFor([&] { return readerStreams() > 0; }, 10000));
    EXPECT_EQ(first.state(), QProcess::Running);
}

// Names the running copy must not read (a FIFO nobody writes to, an endless
// device, a folder, a file over the size limit) are refused at once: the next
// command is served.
TEST_F(SecondCopy, RefusedFilesLeaveTheRunningCopyServing) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    QFile big(path("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(16 * 1024 * 1024 + 1));
    big.close();
    ASSERT_TRUE(QDir().mkpath(path("folder")));
    startFirst();
    for (const QString& name :
         {path("pipe"), QString("/dev/zero"), path("folder"), path("big.txt")})
        EXPECT_EQ(runSecond({name}), 0) << name.toStdString();
    EXPECT_EQ(runSecond({kToken + "_1Still here and reading."}), 0);
    EXPECT_TRUE(waitFor([&] { return readerStreams() > 0; }, 10000));
    EXPECT_EQ(first.state(), QProcess::Running);
}
