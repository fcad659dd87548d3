#include "cli/batch.h"

#include "cli/progress.h"
#include "cli/say.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <unistd.h>
#include <vector>

namespace sonorel::cli {

namespace {

void say(const QString& message) {
    std::fputs(QStringLiteral("sonorel-say: %1\n").arg(message).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QByteArray encodePath(const QString& path) {
    return QFile::encodeName(path).toPercentEncoding();
}

QString decodePath(const QByteArray& field) {
    return QFile::decodeName(QByteArray::fromPercentEncoding(field));
}

// Chapter 2 before chapter 10, as a file manager shows them: runs of digits
// compare by their value, the rest by character.
bool namesInOrder(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype si = i, sj = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QStringView x = QStringView(a).mid(si, i - si);
            const QStringView y = QStringView(b).mid(sj, j - sj);
            // Leading zeros aside, the longer run is the larger number.
            const auto digits = [](QStringView v) {
                while (v.size() > 1 && v[0] == u'0')
                    v = v.mid(1);
                return v;
            };
            const QStringView dx = digits(x), dy = digits(y);
            if (dx.size() != dy.size())
                return dx.size() < dy.size();
            if (const int c = dx.compare(dy); c != 0)
                return c < 0;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

struct Job {
    QString input, output, subtitles;
    qint64 weight = 1; // the file's size: its share of the progress
    int permille = 0;
};

// The parent of a folder run: hands the jobs to the workers one at a time and
// keeps the count, the progress line and the messages.
class FolderRun final {
public:
    FolderRun(std::vector<Job> jobs, QStringList workerArguments, QString program)
        : m_jobs(std::move(jobs)), m_arguments(std::move(workerArguments)),
          m_program(std::move(program)),
          m_progress(stderr, ::isatty(STDERR_FILENO) == 1, totalWeight()) {}

    int run() {
        const int workers = std::clamp(QThread::idealThreadCount(), 1,
                                       int(std::min<std::size_t>(m_jobs.size(), 8)));
        for (int i = 0; i < workers; ++i)
            startWorker();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [this] { stopping(); });
        watch.start(50);
        // The program's one event loop: a folder run is all this process does.
        if (m_running > 0)
            QCoreApplication::exec();
        m_progress.finish();

        const int total = int(m_jobs.size());
        if (m_stopping) {
            say(QStringLiteral("interrupted: %1 of %2 files written").arg(m_converted).arg(total));
            return kExitFailure;
        }
        if (m_converted < total) {
            say(QStringLiteral("%1 of %2 files converted").arg(m_converted).arg(total));
            return kExitFailure;
        }
        return kExitOk;
    }

private:
    struct Worker {
        std::unique_ptr<QProcess> process;
        int job = -1; // the job it is speaking
    };

    qint64 totalWeight() const {
        qint64 sum = 0;
        for (const Job& j : m_jobs)
            sum += j.weight;
        return sum;
    }

    void startWorker() {
        auto& w = m_workers.emplace_back(std::make_unique<Worker>());
        Worker* worker = w.get();
        worker->process = std::make_unique<QProcess>();
        QProcess* p = worker->process.get();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(p, &QProcess::readyReadStandardOutput, [this, worker] {
            while (worker->process->canReadLine())
                heard(*worker, worker->process->readLine().trimmed());
        });
        QObject::connect(p, &QProcess::finished, [this, worker](int code, QProcess::ExitStatus st) {
            ended(*worker,
                  st == QProcess::CrashExit
                      ? QStringLiteral("its worker process crashed")
                      : QStringLiteral("its worker process ended (exit status %1)").arg(code));
        });
        QObject::connect(p, &QProcess::errorOccurred, [this, worker](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                ended(*worker, QStringLiteral("no worker process could be started: %1")
                                   .arg(worker->process->errorString()));
        });
        ++m_running;
        p->start(m_program, m_arguments);
        give(*worker);
    }

    void give(Worker& w) {
        if (stopping() || m_next >= m_jobs.size()) {
            w.job = -1;
            w.process->closeWriteChannel();
            return;
        }
        w.job = int(m_next++);
        const Job& j = m_jobs[std::size_t(w.job)];
        w.process->write(encodePath(j.input) + '\t' + encodePath(j.output) + '\t' +
                         encodePath(j.subtitles) + '\n');
    }

    void heard(Worker& w, const QByteArray& line) {
        if (w.job < 0)
            return;
        Job& j = m_jobs[std::size_t(w.job)];
        if (line.startsWith("at ")) {
            j.permille = std::clamp(line.mid(3).toInt(), 0, 1000);
            showProgress();
        } else if (line == "done") {
            j.permille = 1000;
            ++m_converted;
            showProgress();
            give(w);
        } else if (line.startsWith("failed ")) {
            if (!stopping()) // an interrupted file is counted in the closing line
                say(QString::fromUtf8(line.mid(7)));
            j.permille = 1000;
            give(w);
        }
    }

    // A worker is gone: whatever it was speaking failed; another takes its place
    // while files remain, unless workers fail to start or die again and again.
    void ended(Worker& w, const QString& why) {
        if (w.job >= 0 && !stopping()) {
            Job& j = m_jobs[std::size_t(w.job)];
            say(QStringLiteral("cannot write %1: %2").arg(j.output, why));
            j.permille = 1000;
        }
        w.job = -1;
        --m_running;
        if (!stopping() && m_next < m_jobs.size() && m_replacements++ < 3)
            startWorker();
        if (m_running == 0)
            QCoreApplication::exit(0);
    }

    // A Ctrl-C reaches the workers as well as this process, and either may see
    // it first: whatever notices it stops everything, once.
    bool stopping() {
        if (interrupted() && !m_stopping)
            stopAll();
        return m_stopping;
    }

    void stopAll() {
        m_stopping = true;
        for (auto& w : m_workers)
            if (w->process->state() != QProcess::NotRunning) {
                w->process->terminate();
                w->process->closeWriteChannel();
            }
    }

    void showProgress() {
        qint64 done = 0;
        for (const Job& j : m_jobs)
            done += j.weight * j.permille / 1000;
        m_progress.reached(done);
    }

    std::vector<Job> m_jobs;
    QStringList m_arguments;
    QString m_program;
    ProgressLine m_progress;
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::size_t m_next = 0;
    int m_running = 0, m_converted = 0, m_replacements = 0;
    bool m_stopping = false;
};

} // namespace

QStringList textFilesOf(const QStringList& inputs, QStringList& problems) {
    QStringList files;
    for (const QString& input : inputs) {
        if (!QFileInfo(input).isDir()) {
            files.append(input);
            continue;
        }
        QStringList found;
        for (const QFileInfo& f : QDir(input).entryInfoList(QDir::Files | QDir::Readable))
            if (f.suffix().compare(u"txt", Qt::CaseInsensitive) == 0)
                found.append(f.filePath());
        std::sort(found.begin(), found.end(), namesInOrder);
        if (found.isEmpty())
            problems.append(QStringLiteral("%1 holds no .txt files").arg(input));
        files += found;
    }
    return files;
}

QString outputPathFor(const QString& input, const QString& folder, const QString& extension) {
    return QDir(folder).filePath(QFileInfo(input).completeBaseName() + u'.' + extension);
}

int runFolder(const Options& o, const QString& voiceText, const QString& program) {
    QStringList problems;
    const QStringList files = textFilesOf(o.files, problems);
    for (const QString& p : problems)
        say(p);
    if (files.isEmpty())
        return kExitFailure;

    std::vector<Job> jobs;
    QHash<QString, QString> inputOf; // output -> input
    QSet<QString> taken;             // a file named twice (itself and its folder) is spoken once
    for (const QString& f : files) {
        if (taken.contains(QFileInfo(f).absoluteFilePath()))
            continue;
        taken.insert(QFileInfo(f).absoluteFilePath());
        Job j;
        j.input = f;
        j.output = outputPathFor(f, o.folder, o.format);
        if (!o.subtitles.isEmpty())
            j.subtitles = outputPathFor(f, o.folder, o.subtitles);
        const QString key = QFileInfo(j.output).absoluteFilePath();
        if (inputOf.contains(key)) {
            say(QStringLiteral("%1 and %2 would both be written to %3")
                    .arg(inputOf.value(key), f, j.output));
            return kExitUsage;
        }
        inputOf.insert(key, f);
        j.weight = std::max<qint64>(1, QFileInfo(f).size());
        jobs.push_back(std::move(j));
    }

    // The folder is made and tried once, rather than failing every file.
    if (!QDir().mkpath(o.folder)) {
        say(QStringLiteral("cannot make the folder %1").arg(o.folder));
        return kExitFailure;
    }
    {
        QTemporaryFile probe(QDir(o.folder).filePath(QStringLiteral(".sonorel-say.XXXXXX")));
        if (!probe.open()) {
            say(QStringLiteral("cannot write into %1: %2").arg(o.folder, probe.errorString()));
            return kExitFailure;
        }
    }

    QStringList arguments = {QStringLiteral("--worker"), QStringLiteral("-v"), voiceText,
                             QStringLiteral("--volume"), QString::number(o.volume)};
    if (o.rate)
        arguments << QStringLiteral("-r") << QString::number(*o.rate);
    if (o.pitch)
        arguments << QStringLiteral("-p") << QString::number(*o.pitch);
    catchInterrupts();
    return FolderRun(std::move(jobs), arguments, program).run();
}

int runWorker(const Speaker& speaker, const QString& programFolder) {
    catchInterrupts();
    const auto tell = [](const QByteArray& line) {
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    char* buffer = nullptr;
    std::size_t capacity = 0;
    ssize_t got;
    // getline stops on an interruption too (no automatic restart).
    while (!interrupted() && (got = ::getline(&buffer, &capacity, stdin)) > 0) {
        const QList<QByteArray> fields = QByteArray(buffer, got).trimmed().split('\t');
        const QString input = decodePath(fields.value(0));
        const QString output = decodePath(fields.value(1));
        const QString subtitles = decodePath(fields.value(2));
        QString error;
        const std::optional<QString> text = readTextFrom(input, error);
        if (text) {
            int told = 0;
            const auto length = std::max<qsizetype>(1, text->size());
            error = renderInto(*text, output, subtitles, speaker, programFolder, [&](int position) {
                const int permille = int(qint64(position) * 1000 / length);
                if (permille >= told + 10) {
                    told = permille;
                    tell("at " + QByteArray::number(permille));
                }
            });
        }
        tell(error.isEmpty() ? QByteArray("done") : "failed " + error.simplified().toUtf8());
    }
    std::free(buffer);
    return interrupted() ? kExitFailure : kExitOk;
}

} // namespace sonorel::cli
