// Talking clock benchmarks. Prints one "name value unit" line per figure.
//   clockbench SOREL [SECONDS]   CPU used by the real, idle reader over SECONDS (60)
//   clockbench speech            end of the bell wait to the first sample spoken

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "benchutil.h"
#include "clock/talkingclock.h"
#include "stampsink.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <unistd.h>

using namespace sonorel;
using sonorel::bench::median;
using sonorel::bench::nowNs;
using sonorel::bench::print;
using sonorel::bench::spinUntil;
using sonorel::bench::StampSink;

namespace {

// User plus system CPU time of a process, in seconds, from /proc.
double cpuSeconds(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are 14 and 15.
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (f.value(11).toDouble() + f.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Waits while events run, without a poll of its own.
void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The real program, idle: started with the silent output and its window offscreen
// (no window to draw), the clock armed; CPU measured after its start-up.
double idleCpuPercent(const QString& sorel, int seconds) {
    QTemporaryDir dir;
    for (const QString name : {"sorel", "bell.wav", "speak.bmp", "pause.bmp"})
        QFile::copy(QFileInfo(sorel).absolutePath() + "/" + name, dir.filePath(name));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SONOREL_AUDIO", "silent");
    env.insert("XDG_RUNTIME_DIR", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(dir.filePath("sorel"), {});
    if (!program.waitForStarted(5000))
        return -1;
    idleFor(5000); // start-up done, the first-run help shown and left open
    const double before = cpuSeconds(program.processId());
    const std::int64_t start = nowNs();
    idleFor(seconds * 1000);
    const double used = cpuSeconds(program.processId()) - before;
    const double wall = double(nowNs() - start) / 1e9;
    program.kill();
    program.waitForFinished(5000);
    return used / wall * 100.0;
}

// From the end of the bell's wait to the first sample of the sentence handed to
// the sound output; the bell plays to the silent output. Median of 5 after a
// warm-up.
double bellToSpeechMs(const QString& voice, const QString& bell) {
    auto log = std::make_shared<StampSink::Log>();
    QTemporaryDir dir;
    app::SystemServices system(
        dir.path(), dir.filePath("registry.json"), StampSink::factory(log, false),
        platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "bench"));
    app::Program program;
    app::Windows windows;
    app::sorelmain reader(system.services, program, windows);
    reader.Form_Load({});
    reader.Command7_Click();
    reader.Combo1->hidePopup();
    reader.Combo1->setCurrentIndex(reader.Combo1->findText(voice));
    reader.Combo1_Click();

    std::int64_t waitOver = 0;
    QObject::connect(reader.talkingClock, &clock::TalkingClock::bellWaitOver,
                     [&] { waitOver = nowNs(); });
    program.TestBellFile = bell;
    program.TestSentence = "The time is 15 o'clock 30 minute";
    std::vector<double> runs;
    for (int i = 0; i < 6; ++i) {
        {
            std::lock_guard lock(log->mutex);
            log->firstWriteNs = 0;
        }
        waitOver = 0;
        reader.startTimerSayTest();
        spinUntil([&] { return log->first() != 0; }, 15000);
        if (i > 0 && waitOver) // the first run loads the voice
            runs.push_back(double(log->first() - waitOver) / 1e6);
        // Let the sentence end before the next.
        spinUntil([&] { return !reader.TextToSpeech1->IsSpeaking(); }, 10000);
        reader.VoiceSayTime->WaitUntilDone(10000);
    }
    return median(runs);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what == "speech") {
        const QString bell = QCoreApplication::applicationDirPath() + "/../bin/bell.wav";
        print("bell_to_speech_ms_g4", bellToSpeechMs("Mary (TTS4.0)", bell), "ms");
        print("bell_to_speech_ms_g5", bellToSpeechMs("English (America) (TTS5.0)", bell), "ms");
        return 0;
    }
    if (what.isEmpty()) {
        std::fprintf(stderr, "clockbench SOREL [SECONDS] | clockbench speech\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    print(seconds == 60 ? "idle_cpu_percent" : "idle_cpu_percent_short",
          idleCpuPercent(what, seconds), "%");
    return 0;
}
