// Reader benchmarks. Prints one "name value unit" line per figure.
//   readerbench           speak-to-first-sample with 1 MB in the box, time per word event
//   readerbench link SOREL   start-up time of the real program and second-copy hand-over

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "benchtext.h"
#include "benchutil.h"
#include "link/linkclient.h"
#include "link/linkserver.h"
#include "shared/linkcommand.h"
#include "stampsink.h"

#include <algorithm>
#include <cstdio>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

using namespace sonorel;
using sonorel::kLinkRead;
using sonorel::kLinkStop;
using sonorel::makeLinkCommand;
using sonorel::bench::median;
using sonorel::bench::nowNs;
using sonorel::bench::print;
using sonorel::bench::spinUntil;
using sonorel::bench::StampSink;

namespace {

// A main window over the real engines, with its own folder and settings.
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
    QTemporaryDir dir;
    app::SystemServices system;
    app::Program program;
    app::Windows windows;
    app::sorelmain window;
};

// Command5_Click with the text in the box to the first sample handed to the
// sound output; median of 5 after a warm-up.
double speakToFirstSample(const QString& voice, const QString& text) {
    auto log = std::make_shared<StampSink::Log>();
    Reader reader(StampSink::factory(log, false));
    reader.useVoice(voice);
    reader.window.RichTextBox1->setPlainText(text);
    std::vector<double> runs;
    for (int i = 0; i < 6; ++i) {
        {
            std::lock_guard lock(log->mutex);
            log->firstWriteNs = 0;
        }
        reader.window.RichTextBox1->moveCursor(QTextCursor::Start);
        const std::int64_t start = nowNs();
        reader.window.Command5_Click();
        spinUntil([&] { return log->first() != 0; }, 10000);
        if (i > 0) // the first run loads the voice
            runs.push_back((log->first() - start) / 1e6);
        reader.window.Command6_Click();
        spinUntil([] { return false; }, 50);
    }
    return median(runs);
}

// The window's work for one word event (select the word, move the slider),
// averaged over words spread through the whole text.
double highlightPerWord(const QString& text) {
    Reader reader(platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "bench"));
    app::sorelmain& w = reader.window;
    w.RichTextBox1->setPlainText(text);
    w.MonitorText1Len_Timer();
    w.SpeakBase = 0;
    const int words = 2000;
    const int step = int(text.size()) / words;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < words; ++i) {
        int pos = i * step;
        while (pos > 0 && text[pos - 1] != ' ')
            --pos;
        w.DirectSS1_WordPosition(0, 0, 2 * pos);
        w.NewsVoice1_Word(1, 0, pos, 4);
    }
    return t.nsecsElapsed() / 1e6 / (2 * words);
}

// Start of the real program to its window shown with every voice listed: the
// program serves the link from its event loop, which runs once the window is up,
// so the first acknowledged command marks that moment. Median of 10.
double startupMs(const QString& sorel, const QProcessEnvironment& env) {
    std::vector<double> runs;
    for (int i = 0; i < 10; ++i) {
        QProcess program;
        program.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        program.start(sorel, {});
        while (!link::linkAndSendMessage(makeLinkCommand(kLinkStop), 200) && t.elapsed() < 20000)
            QThread::msleep(2);
        runs.push_back(t.nsecsElapsed() / 1e6);
        program.kill();
        program.waitForFinished(5000);
    }
    return median(runs);
}

// A second copy started with "_1" text to the running copy holding the text and
// reading it. The running copy is this process. Median of 10.
double handoverMs(const QString& sorel, const QProcessEnvironment& env) {
    Reader reader(platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "bench"));
    link::LinkServer server;
    if (!server.listen())
        return -1;
    QObject::connect(&server, &link::LinkServer::execute, &reader.window,
                     &app::sorelmain::LinkExecute);
    std::vector<double> runs;
    for (int i = 0; i < 10; ++i) {
        const QString text = QString("Hand-over number %1.").arg(i);
        reader.window.Command6_Click();
        QProcess second;
        second.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        second.start(sorel, {makeLinkCommand(kLinkRead, text)});
        spinUntil(
            [&] {
                return reader.window.PlayStatus == 1 &&
                       reader.window.RichTextBox1->toPlainText() == text;
            },
            20000);
        runs.push_back(t.nsecsElapsed() / 1e6);
        second.waitForFinished(5000);
    }
    return median(runs);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A runtime folder of our own: the link's socket is made there.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    if (app.arguments().value(1) == "link") {
        // The program runs from a folder of its own, so its settings stay there.
        QTemporaryDir home;
        const QString sorel = home.filePath("sorel");
        QFile::copy(app.arguments().value(2), sorel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SONOREL_AUDIO", "fast");
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        print("startup_ms", startupMs(sorel, env), "ms");
        print("handover_ms", handoverMs(sorel, env), "ms");
        return 0;
    }
    const QString big = bench::opened1mb();
    print("speak_to_first_sample_ms_1mb_g4", speakToFirstSample("Mary (TTS4.0)", big), "ms");
    print("speak_to_first_sample_ms_1mb_g5", speakToFirstSample("English (America) (TTS5.0)", big),
          "ms");
    print("highlight_ms_per_word_1mb", highlightPerWord(big), "ms");
    return 0;
}
