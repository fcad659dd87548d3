// Slide reader benchmarks. Prints one "name value unit" line per figure.
//   slides_load_100k_lines_ms       choosing a word file of 100,000 lines (median of 5)
//   slides_load_stall_max_ms        the longest the event loop went unserved meanwhile
//   slides_begin_100k_lines_ms      Begin, which reads the file again (median of 5)
//   slide_word_to_first_sample_ms_g4/_g5   a slide tick to the first sample of its
//                                   word handed to the sound output (median of 5)

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "benchutil.h"
#include "slides/slidereadaloud.h"
#include "stampsink.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

using namespace sonorel;
using sonorel::bench::median;
using sonorel::bench::nowNs;
using sonorel::bench::print;
using sonorel::bench::spinUntil;
using sonorel::bench::StampSink;

namespace {

struct Reader {
    explicit Reader(platform::speech::SinkFactory sinks)
        : system(dir.path(), dir.filePath("registry.json"), std::move(sinks)),
          window(system.services, program, windows) {
        window.Form_Load({});
    }
    void useVoice(const QString& entry) {
        window.Command7_Click();
        window.Combo1->hidePopup();
        window.Combo1->setCurrentIndex(window.Combo1->findText(entry));
        window.Combo1_Click();
    }
    slides::SlideReadAloud* openSlides() {
        windows.show(app::WindowId::Slides);
        return qobject_cast<slides::SlideReadAloud*>(windows.find(app::WindowId::Slides));
    }
    QTemporaryDir dir;
    app::SystemServices system;
    app::Program program;
    app::Windows windows;
    app::sorelmain window;
};

QString wordFile(const QTemporaryDir& dir, int lines) {
    QFile f(dir.filePath(QString("words%1.txt").arg(lines)));
    f.open(QIODevice::WriteOnly);
    QByteArray all;
    for (int i = 0; i < lines; ++i)
        all += "word number " + QByteArray::number(i) + "\r\n";
    f.write(all);
    return f.fileName();
}

void loadFigures() {
    Reader reader(platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "bench"));
    slides::SlideReadAloud* w = reader.openSlides();
    const QString path = wordFile(reader.dir, 100000);
    std::vector<double> loads, begins;
    double stall = 0;
    for (int i = 0; i < 6; ++i) {
        // The load runs from the event loop, as a click does; a 1 ms heartbeat
        // shows the longest wait the loop had meanwhile.
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        std::int64_t last = nowNs(), longest = 0;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const std::int64_t t = nowNs();
            longest = std::max(longest, t - last);
            last = t;
        });
        heartbeat.start(1);
        bool done = false;
        double ms = 0;
        QTimer::singleShot(20, [&] {
            QElapsedTimer t;
            t.start();
            w->useWordFile(path);
            ms = t.nsecsElapsed() / 1e6;
            done = true;
        });
        spinUntil([&] { return done; }, 10000);
        spinUntil([] { return false; }, 20);
        if (i > 0) { // the first run warms the file cache
            loads.push_back(ms);
            stall = std::max(stall, longest / 1e6);
        }
        QElapsedTimer t;
        t.start();
        w->Command2_Click();
        if (i > 0)
            begins.push_back(t.nsecsElapsed() / 1e6);
        w->Command3_Click();
    }
    if (w->SlideCount != 100000)
        std::fprintf(stderr, "loaded %d entries, not 100000\n", w->SlideCount);
    print("slides_load_100k_lines_ms", median(loads), "ms");
    print("slides_load_stall_max_ms", stall, "ms");
    print("slides_begin_100k_lines_ms", median(begins), "ms");
}

double wordToFirstSample(const QString& voice) {
    auto log = std::make_shared<StampSink::Log>();
    Reader reader(StampSink::factory(log, false));
    reader.useVoice(voice);
    slides::SlideReadAloud* w = reader.openSlides();
    w->Text1->setText(wordFile(reader.dir, 2));
    std::vector<double> runs;
    for (int i = 0; i < 6; ++i) {
        w->Command2_Click();
        spinUntil([] { return false; }, 50);
        {
            std::lock_guard lock(log->mutex);
            log->firstWriteNs = 0;
        }
        const std::int64_t start = nowNs();
        w->seriation_Timer(); // the run's first tick
        spinUntil([&] { return log->first() != 0; }, 10000);
        if (i > 0) // the first run loads the voice
            runs.push_back((log->first() - start) / 1e6);
        w->Command3_Click();
        spinUntil([] { return false; }, 50);
    }
    return median(runs);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    loadFigures();
    print("slide_word_to_first_sample_ms_g4", wordToFirstSample("Mary (TTS4.0)"), "ms");
    print("slide_word_to_first_sample_ms_g5", wordToFirstSample("English (America) (TTS5.0)"),
          "ms");
    return 0;
}
