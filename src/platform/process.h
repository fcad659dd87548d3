#pragma once
// Starting other programs (the MP3 encoder, the reader from the voice chooser,
// an installer) with argument lists, never one shell string, telling later
// whether a started process still runs, and ending one that must not finish.

#include <functional>
#include <optional>
#include <QByteArray>
#include <QString>
#include <QStringList>

class QObject;

namespace sonorel::platform {

enum class WindowMode { Hidden, Normal };

// How a program run with `ProcessLauncher::run` ended.
struct ProcessOutcome {
    bool started = false; // false: it could not be started (not found, not executable)
    bool crashed = false; // ended by a signal
    int exitCode = 0;
    QByteArray output; // standard output and error together, at most kRunOutputLimit bytes
};
inline constexpr qsizetype kRunOutputLimit = 64 * 1024;

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts `program` detached; returns its process id, or nothing when it could
    // not be started (not found, not executable). Hidden: standard output and
    // error go nowhere.
    virtual std::optional<qint64> start(const QString& program, const QStringList& arguments,
                                        WindowMode mode) = 0;
    // True while the process exists and has not ended (a zombie has ended).
    virtual bool isAlive(qint64 pid) const = 0;
    // Ends a started process at once, without asking it. False when it was not
    // running.
    virtual bool terminate(qint64 pid) = 0;
    // Calls `ended` on the calling thread soon after process `pid` has ended, once,
    // while `context` lives: a prompt word beside the isAlive poll. False when the
    // system cannot tell; then only isAlive says it.
    virtual bool notifyEnd(qint64 pid, QObject* context, std::function<void()> ended) {
        (void)pid, (void)context, (void)ended;
        return false;
    }
    // Runs `program` hidden, with no input, collecting what it writes, and calls
    // `done` on the calling thread once it has ended (or could not start), while
    // `context` lives; returns at once. False when this launcher cannot run
    // programs so; then `done` is never called.
    virtual bool run(const QString& program, const QStringList& arguments, QObject* context,
                     std::function<void(const ProcessOutcome&)> done) {
        (void)program, (void)arguments, (void)context, (void)done;
        return false;
    }
};

class LinuxProcessLauncher final : public ProcessLauncher {
public:
    std::optional<qint64> start(const QString& program, const QStringList& arguments,
                                WindowMode mode) override;
    bool isAlive(qint64 pid) const override;
    bool terminate(qint64 pid) override;
    // Through a process file descriptor, which becomes readable when the process ends.
    bool notifyEnd(qint64 pid, QObject* context, std::function<void()> ended) override;
    // Through a QProcess owned by `context`.
    bool run(const QString& program, const QStringList& arguments, QObject* context,
             std::function<void(const ProcessOutcome&)> done) override;
};

// A helper program: the copy beside `programFolder` when there is one, else the
// one on PATH; empty when neither exists.
QString findHelperProgram(const QString& name, const QString& programFolder);

} // namespace sonorel::platform
