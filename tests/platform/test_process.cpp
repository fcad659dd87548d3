#include "platform/eventwait.h"
#include "platform/process.h"
#include "shared/recordcodec.h"
#include "support/tempdir.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <sys/wait.h>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::platform;

namespace {

// A started program is not our child; all we can do is watch it end.
bool endsWithin(const ProcessLauncher& launcher, qint64 pid, int ms = 10'000) {
    const QDeadlineTimer deadline(ms);
    while (launcher.isAlive(pid)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

void writeScript(const QString& path, QFile::Permissions permissions) {
    ASSERT_TRUE(writeFileAtomically(path, "#!/bin/sh\nexit 0\n"));
    ASSERT_TRUE(QFile::setPermissions(path, permissions));
}

constexpr QFile::Permissions executable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

using LinuxProcessLauncherTest = test::TempDirTest;

TEST_F(LinuxProcessLauncherTest, StartedProgramIsAliveUntilItEnds) {
    LinuxProcessLauncher launcher;
    const auto pid = launcher.start("/bin/sleep", {"30"}, WindowMode::Hidden);
    ASSERT_TRUE(pid);
    EXPECT_TRUE(launcher.isAlive(*pid));
    ASSERT_EQ(::kill(pid_t(*pid), SIGTERM), 0);
    EXPECT_TRUE(endsWithin(launcher, *pid, 3'000));
}

TEST_F(LinuxProcessLauncherTest, TheEndOfAStartedProgramIsToldOnceWhileItsContextLives) {
    LinuxProcessLauncher launcher;
    const auto pid = launcher.start("/bin/sleep", {"30"}, WindowMode::Hidden);
    ASSERT_TRUE(pid);
    QObject context;
    int told = 0;
    bool aliveWhenTold = true;
    ASSERT_TRUE(launcher.notifyEnd(*pid, &context, [&] {
        ++told;
        aliveWhenTold = launcher.isAlive(*pid);
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(told, 0) << "it still runs";
    ASSERT_EQ(::kill(pid_t(*pid), SIGTERM), 0);
    ASSERT_TRUE(runEventsUntil([&] { return told > 0; }, 10'000));
    EXPECT_FALSE(aliveWhenTold);
    runEventsUntil([] { return false; }, 50);
    EXPECT_EQ(told, 1);

    // A context that goes first hears nothing; nor does an id that names no process.
    const auto other = launcher.start("/bin/sleep", {"30"}, WindowMode::Hidden);
    ASSERT_TRUE(other);
    bool toldGone = false;
    {
        QObject gone;
        ASSERT_TRUE(launcher.notifyEnd(*other, &gone, [&] { toldGone = true; }));
    }
    ASSERT_TRUE(launcher.terminate(*other));
    EXPECT_TRUE(endsWithin(launcher, *other, 3'000));
    runEventsUntil([] { return false; }, 50);
    EXPECT_FALSE(toldGone);
    EXPECT_FALSE(launcher.notifyEnd(-1, &context, [] {}));
}

TEST_F(LinuxProcessLauncherTest, TerminateEndsARunningProgramOnly) {
    LinuxProcessLauncher launcher;
    // A program that ignores the polite signal still ends.
    const auto pid =
        launcher.start("/bin/sh", {"-c", "trap '' TERM; exec sleep 30"}, WindowMode::Hidden);
    ASSERT_TRUE(pid);
    ASSERT_TRUE(launcher.isAlive(*pid));
    EXPECT_TRUE(launcher.terminate(*pid));
    EXPECT_TRUE(endsWithin(launcher, *pid, 3'000));
    EXPECT_FALSE(launcher.terminate(*pid)) << "it has ended already";
    EXPECT_FALSE(launcher.terminate(0));
    EXPECT_FALSE(launcher.terminate(-1));
}

TEST_F(LinuxProcessLauncherTest, ZombieAndImpossibleIdsAreNotAlive) {
    LinuxProcessLauncher launcher;
    EXPECT_TRUE(launcher.isAlive(::getpid()));
    EXPECT_FALSE(launcher.isAlive(0));
    EXPECT_FALSE(launcher.isAlive(-1));
    EXPECT_FALSE(launcher.isAlive(qint64(1) << 40));

    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(endsWithin(launcher, child));
    EXPECT_EQ(::kill(child, 0), 0) << "still in the process table, unreaped";
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(launcher.isAlive(child));
}

TEST_F(LinuxProcessLauncherTest, ProgramThatCannotRunGivesNoId) {
    LinuxProcessLauncher launcher;
    writeScript(path("not-executable"), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(launcher.start(path("missing"), {}, WindowMode::Hidden));
    EXPECT_FALSE(launcher.start(path("not-executable"), {}, WindowMode::Hidden));
    EXPECT_FALSE(launcher.start(path(), {}, WindowMode::Normal));
    EXPECT_FALSE(launcher.start("sonorel-no-such-program", {}, WindowMode::Hidden));
}

TEST_F(LinuxProcessLauncherTest, ArgumentsArriveIntact) {
    LinuxProcessLauncher launcher;
    const QString out = path("args.txt");
    const QStringList arguments = {"a b", "c\"d", "'e'", "$HOME", "f\\g", "*", "", "Grüße"};
    const auto pid = launcher.start(
        "/bin/sh",
        QStringList{"-c", R"(out=$1; shift; printf '%s\n' "$@" > "$out")", "sh", out} + arguments,
        WindowMode::Hidden);
    ASSERT_TRUE(pid);
    ASSERT_TRUE(endsWithin(launcher, *pid));
    EXPECT_EQ(QString::fromUtf8(readWholeFile(out)), arguments.join('\n') + '\n');
}

TEST_F(LinuxProcessLauncherTest, HiddenProgramWritesNowhere) {
    // Our own output goes to a file while the programs start; they inherit it.
    const auto run = [&](WindowMode mode) {
        const QString captured = path(mode == WindowMode::Hidden ? "hidden" : "normal");
        const int fd = ::open(QFile::encodeName(captured).constData(), O_WRONLY | O_CREAT, 0600);
        std::fflush(stdout);
        const int savedOut = ::dup(1), savedErr = ::dup(2);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        LinuxProcessLauncher launcher;
        const auto pid = launcher.start("/bin/sh", {"-c", "echo to-out; echo to-err >&2"}, mode);
        ::dup2(savedOut, 1);
        ::dup2(savedErr, 2);
        ::close(savedOut);
        ::close(savedErr);
        ::close(fd);
        EXPECT_TRUE(pid && endsWithin(launcher, *pid));
        return readWholeFile(captured);
    };
    EXPECT_EQ(run(WindowMode::Hidden), QByteArray());
    EXPECT_EQ(run(WindowMode::Normal), "to-out\nto-err\n");
}

class HelperProgramTest : public test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        m_oldPath = qgetenv("PATH");
        ASSERT_TRUE(QDir().mkpath(folder()) && QDir().mkpath(onPath()));
        qputenv("PATH", QFile::encodeName(onPath()));
    }
    void TearDown() override { qputenv("PATH", m_oldPath); }
    QString folder() const { return path("program"); }
    QString onPath() const { return path("bin"); }

private:
    QByteArray m_oldPath;
};

TEST_F(HelperProgramTest, CopyBesideTheProgramComesBeforeThePath) {
    EXPECT_EQ(findHelperProgram("encoder", folder()), QString()) << "neither";
    writeScript(onPath() + "/encoder", executable);
    EXPECT_EQ(findHelperProgram("encoder", folder()), onPath() + "/encoder");
    writeScript(folder() + "/encoder", QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(findHelperProgram("encoder", folder()), onPath() + "/encoder") << "not executable";
    ASSERT_TRUE(QFile::setPermissions(folder() + "/encoder", executable));
    EXPECT_EQ(findHelperProgram("encoder", folder()), folder() + "/encoder");
    ASSERT_TRUE(QFile::remove(folder() + "/encoder") && QDir().mkdir(folder() + "/encoder"));
    EXPECT_EQ(findHelperProgram("encoder", folder()), onPath() + "/encoder") << "a folder";
}

} // namespace
