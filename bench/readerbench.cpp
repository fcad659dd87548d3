// Reader benchmarks. Prints one "name value unit" line per figure.
//   readerbench           speak-to-first-sample with 1 MB in the box, time per word event
//   readerbench link SOREL   start-up time of the real program and second-copy hand-over

#include "app/sorelmain.h"
#include "benchtext.h"
#include "platform/dialogs.h"
#include "platform/fileregistrystore.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "stampsink.h"

#include <algorithm>
#include <cstdio>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace sonorel;
using sonorel::bench::nowNs;
using sonorel::bench::StampSink;

namespace {

void print(const char* name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

void spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// A main window over the real engines, with its own folder and settings.
struct Reader {
    explicit Reader(platform::speech::SinkFactory sinks)
        : folder(dir.path()), registry(dir.filePath("registry.json")),
          temp(dir.path()), services{folder, registry, dialogs, clock, processes,
                                     shell,  temp,     gen4,    gen5,  std::move(sinks)},
          window(services, program, windows) {
        window.Form_Load({});
    }
    void useVoice(const QString& entry) {
        window.Command7_Click();
        window.Combo1->hidePopup();
        window.Combo1->setCurrentIndex(window.Combo1->findText(entry));
        window.Combo1_Click();
    }
    QTemporaryDir dir;
    platform::LinuxProgramFolder folder;
    platform::FileRegistryStore registry;
    platform::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::LinuxProcessLauncher processes;
    platform::DesktopShellOpener shell;
    platform::LinuxTempFolder temp;
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    app::Services services;
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

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString big = bench::opened1mb();
    print("speak_to_first_sample_ms_1mb_g4", speakToFirstSample("Mary (TTS4.0)", big), "ms");
    print("speak_to_first_sample_ms_1mb_g5", speakToFirstSample("English (America) (TTS5.0)", big),
          "ms");
    print("highlight_ms_per_word_1mb", highlightPerWord(big), "ms");
    return 0;
}
