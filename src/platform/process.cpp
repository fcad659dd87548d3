#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace sonorel::platform {

namespace {

// The state letter of /proc/<pid>/stat; 0 when it cannot be read. The command
// name before it is in parentheses and may itself hold ")" and spaces.
char processState(qint64 pid) {
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0)
        return 0;
    const QByteArray stat(buffer, n);
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat[close + 2] : 0;
}

bool isExecutableFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    return ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

} // namespace

std::optional<qint64> LinuxProcessLauncher::start(const QString& program,
                                                  const QStringList& arguments, WindowMode mode) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (mode == WindowMode::Hidden) {
        // Nor may a hidden helper wait for input from our terminal.
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    // Qt reports a failed exec in the child, so a pid here is a running program.
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0)
        return std::nullopt;
    return pid;
}

bool LinuxProcessLauncher::isAlive(qint64 pid) const {
    if (pid <= 0 || pid > INT_MAX)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    // An ended process stays in the table until its parent reaps it; without
    // /proc the signal test is all there is.
    const char state = processState(pid);
    return state != 'Z' && state != 'X' && state != 'x';
}

bool LinuxProcessLauncher::terminate(qint64 pid) {
    // Asked first, so an ended process whose id was handed on is left alone.
    if (!isAlive(pid))
        return false;
    return ::kill(pid_t(pid), SIGKILL) == 0;
}

bool LinuxProcessLauncher::notifyEnd(qint64 pid, QObject* context, std::function<void()> ended) {
#ifdef SYS_pidfd_open
    if (pid <= 0 || pid > INT_MAX || !context)
        return false;
    const int fd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (fd < 0)
        return false;
    // Opened after the start, so the id may already be gone; then the descriptor
    // is readable at once and the caller's own poll sees the end as well.
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context);
    auto open = std::make_shared<bool>(true);
    const auto closeOnce = [fd, open] {
        if (std::exchange(*open, false))
            ::close(fd);
    };
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, closeOnce, ended = std::move(ended)] {
                         notifier->setEnabled(false);
                         closeOnce();
                         notifier->deleteLater();
                         ended();
                     });
    // The context went first: the descriptor is closed with the notifier.
    QObject::connect(notifier, &QObject::destroyed, closeOnce);
    return true;
#else
    (void)pid, (void)context, (void)ended;
    return false;
#endif
}

bool LinuxProcessLauncher::run(const QString& program, const QStringList& arguments,
                               QObject* context, std::function<void(const ProcessOutcome&)> done) {
    if (!context)
        return false;
    auto* process = new QProcess(context);
    auto output = std::make_shared<QByteArray>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    // Read as it comes, so a talkative program never fills the pipe and stalls;
    // only the first part is kept.
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [process, output] {
        const QByteArray chunk = process->readAllStandardOutput();
        output->append(chunk.left(std::max<qsizetype>(0, kRunOutputLimit - output->size())));
    });
    auto finish = std::make_shared<std::function<void(const ProcessOutcome&)>>(std::move(done));
    QObject::connect(process, &QProcess::finished, process,
                     [process, output, finish](int exitCode, QProcess::ExitStatus status) {
                         const QByteArray rest = process->readAllStandardOutput();
                         output->append(
                             rest.left(std::max<qsizetype>(0, kRunOutputLimit - output->size())));
                         process->deleteLater();
                         if (auto callback = std::exchange(*finish, nullptr))
                             callback({true, status == QProcess::CrashExit, exitCode, *output});
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, finish](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // the end itself comes through finished
                         process->deleteLater();
                         if (auto callback = std::exchange(*finish, nullptr))
                             callback({});
                     });
    process->start();
    return true;
}

QString findHelperProgram(const QString& name, const QString& programFolder) {
    if (!programFolder.isEmpty()) {
        const QString beside = programFolder + u'/' + name;
        if (isExecutableFile(beside))
            return beside;
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace sonorel::platform
