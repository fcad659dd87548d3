#pragma once
// Test doubles of the platform services.

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/programfolder.h"
#include "platform/shellopen.h"
#include "platform/tempfolder.h"

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QSet>
#include <utility>
#include <variant>

namespace sonorel::test {

class FakeClock final : public platform::Clock {
public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2026, 1, 5), QTime(9, 30)))
        : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advanceSeconds(qint64 s) { m_now = m_now.addSecs(s); }

private:
    QDateTime m_now;
};

class FakeProgramFolder final : public platform::ProgramFolder {
public:
    explicit FakeProgramFolder(QString folder, QString writable = {})
        : m_folder(std::move(folder)), m_writable(writable.isEmpty() ? m_folder : writable) {}
    QString folder() const override { return m_folder; }
    QString writableFolder() const override { return m_writable; }

private:
    QString m_folder, m_writable;
};

class FakeTempFolder final : public platform::TempFolder {
public:
    explicit FakeTempFolder(QString path) : m_path(std::move(path)) {}
    QString path() override { return m_path; }
    QString error() const override { return {}; }

private:
    QString m_path;
};

// Answers dialogs from a script and records every message and dialog shown.
// An unscripted message gets its default button; an unscripted file, font,
// colour or folder dialog is cancelled.
class ScriptedDialogs final : public platform::Dialogs {
public:
    using Answer = std::variant<platform::MessageAnswer, std::optional<platform::FileChoice>,
                                std::optional<platform::FontChoice>, std::optional<QColor>,
                                std::optional<QString>>;

    void answer(Answer a) { m_script.enqueue(std::move(a)); }

    QList<platform::MessageSpec> messages;
    QList<platform::MessageSpec> notices; // messages nothing waits for
    QList<platform::FileDialogSpec> fileDialogs;
    int fontDialogs = 0, colorDialogs = 0, folderDialogs = 0;

    platform::MessageAnswer message(const platform::MessageSpec& request, QWidget*) override;
    void notify(const platform::MessageSpec& request, QWidget*) override { notices << request; }
    std::optional<platform::FileChoice> openFile(const platform::FileDialogSpec& request,
                                                 QWidget*) override;
    std::optional<platform::FileChoice> saveFile(const platform::FileDialogSpec& request,
                                                 QWidget*) override;
    std::optional<platform::FontChoice> chooseFont(const platform::FontChoice&, QWidget*) override;
    std::optional<QColor> chooseColor(const std::optional<QColor>&, QWidget*) override;
    std::optional<QString> chooseFolder(const QString&, const QString&, QWidget*) override;

private:
    template <class T> std::optional<T> next();
    QQueue<Answer> m_script;
};

class FakeLauncher final : public platform::ProcessLauncher {
public:
    struct Started {
        QString program;
        QStringList arguments;
        platform::WindowMode mode;
        qint64 pid;
    };
    QList<Started> started;
    bool failStarts = false;

    std::optional<qint64> start(const QString& program, const QStringList& arguments,
                                platform::WindowMode mode) override;
    bool isAlive(qint64 pid) const override { return m_alive.contains(pid); }
    bool terminate(qint64 pid) override {
        terminated << pid;
        return m_alive.remove(pid);
    }
    // Ends the process: its end notices are told.
    void finish(qint64 pid);
    bool notifyEnd(qint64 pid, QObject* context, std::function<void()> ended) override;
    QList<qint64> terminated; // every terminate() asked, in order

    // Programs given to run(), in order; each waits until endRun() ends it.
    struct Run {
        QString program;
        QStringList arguments;
        QPointer<QObject> context;
        std::function<void(const platform::ProcessOutcome&)> done;
    };
    QList<Run> runs;
    bool run(const QString& program, const QStringList& arguments, QObject* context,
             std::function<void(const platform::ProcessOutcome&)> done) override {
        runs << Run{program, arguments, context, std::move(done)};
        return true;
    }
    // Ends run `index` with `outcome`: its caller is told if its context lives.
    void endRun(qsizetype index, const platform::ProcessOutcome& outcome) {
        Run& r = runs[index];
        if (auto done = std::exchange(r.done, nullptr); done && r.context)
            done(outcome);
    }

private:
    struct EndNotice {
        qint64 pid;
        QPointer<QObject> context;
        std::function<void()> ended;
    };
    QList<EndNotice> m_endNotices;
    qint64 m_nextPid = 1000;
    QSet<qint64> m_alive;
};

class RecordingShellOpener final : public platform::ShellOpener {
public:
    QStringList opened;
    bool open(const QString& urlOrPath) override {
        opened << urlOrPath;
        return true;
    }
};

// An environment variable set for one scope, then put back.
class ScopedEnv final {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// A stand-in `lame` in `folder` (never run: the launcher is a double).
bool makeFakeEncoder(const QString& folder);

} // namespace sonorel::test
