#pragma once
// The speech save of the main window and a batch job share the recording start
// time and the wave-output control's "WaveEnd" handshake, so only one of them may
// run at a time. Each enlists once how to tell that it runs; a start asks here
// whether the other one runs and, if so, refuses with the message below. The
// WAV-to-MP3 converter keeps its own names and never asks.

#include <functional>
#include <QList>
#include <QPointer>
#include <QString>

namespace sonorel::app {

class SoundJobs final {
public:
    using Running = std::function<bool()>;
    // `name` is what the user reads ("the batch conversion of text files"). An
    // owner that is deleted drops out by itself.
    void enlist(const QObject* owner, const QString& name, Running running);
    // The name of a job that runs now and is not `asker`'s; empty when none runs.
    QString otherRunning(const QObject* asker) const;
    // The refusal of `wanted` while `running` runs.
    static QString refusal(const QString& running, const QString& wanted);

private:
    struct Job {
        QPointer<const QObject> owner;
        QString name;
        Running running;
    };
    QList<Job> m_jobs;
};

} // namespace sonorel::app
