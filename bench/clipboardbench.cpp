// Clipboard watch and voice chooser benchmarks. Prints one "name value unit" line
// per figure.
//   clipboardbench          copy to first sample (short text; 1 MB already in the
//                           box), a 10 MB copy: the box's fill time and the longest
//                           event-loop stall
//   clipboardbench vocelle  chooser window to its list built and marked (in process)

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "benchtext.h"
#include "benchutil.h"
#include "chooser/vocelleform1.h"
#include "platform/dialogs.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "stampsink.h"

#include <cstdio>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
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
    QTemporaryDir dir;
    app::SystemServices system;
    app::Program program;
    app::Windows windows;
    app::sorelmain window;
};

// The clipboard's change (the copy) to the first sample handed to the sound
// output, with `inBox` in the box beforehand; median of 5 after a warm-up.
double copyToFirstSample(const QString& inBox, const QString& copied) {
    auto log = std::make_shared<StampSink::Log>();
    Reader reader(StampSink::factory(log, false));
    std::vector<double> runs;
    for (int i = 0; i < 6; ++i) {
        reader.window.Command6_Click();
        reader.window.RichTextBox1->setPlainText(inBox);
        spinUntil([] { return false; }, 50);
        {
            std::lock_guard lock(log->mutex);
            log->firstWriteNs = 0;
        }
        // A new text each time: the clipboard reports only changes.
        const std::int64_t start = nowNs();
        QGuiApplication::clipboard()->setText(copied + QString(i, u' '));
        spinUntil([&] { return log->first() != 0; }, 10000);
        if (i > 0)
            runs.push_back((log->first() - start) / 1e6);
    }
    reader.window.Command6_Click();
    return median(runs);
}

// A 10 MB copy: how long until the box holds all of it, and the longest gap between two
// ticks of a 5 ms timer meanwhile (the event loop's longest stall), through the
// first second of the reading.
void tenMegabyteCopy() {
    auto log = std::make_shared<StampSink::Log>();
    Reader reader(StampSink::factory(log, true));
    QString text;
    const QString base = bench::englishText100k();
    while (text.size() < 10 * 1000 * 1000)
        text += base;
    std::int64_t lastTick = 0, longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const std::int64_t now = nowNs();
        if (lastTick)
            longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    ticks.start();
    spinUntil([] { return false; }, 50);
    QElapsedTimer fill;
    fill.start();
    QTimer::singleShot(0, [&] { QGuiApplication::clipboard()->setText(text); });
    // Until the box holds all of it (the text has no CR and no no-break space, so
    // the box's length is the text's).
    spinUntil(
        [&] { return reader.window.RichTextBox1->document()->characterCount() == text.size() + 1; },
        60000);
    const double fillMs = fill.nsecsElapsed() / 1e6;
    spinUntil([] { return false; }, 1000);
    if (reader.window.RichTextBox1->toPlainText() != text)
        std::fprintf(stderr, "clipboardbench: the box does not hold the copied text\n");
    print("clipboard_10mb_fill_ms", fillMs, "ms");
    print("clipboard_10mb_longest_stall_ms", longest / 1e6, "ms");
    reader.window.Command6_Click();
}

// The chooser's window made (as its program makes it, after the application) to
// the list built with the browser voice marked; median of 10.
void vocelleWindowToList() {
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    platform::QtDialogs dialogs;
    platform::LinuxProcessLauncher processes;
    std::vector<double> runs;
    for (int i = 0; i < 10; ++i) {
        QTemporaryDir dir;
        platform::LinuxProgramFolder folder(dir.path());
        const std::int64_t start = nowNs();
        chooser::VocelleForm1 w({folder, dialogs, processes, gen4, gen5}, {500, 400});
        w.Form_Load();
        spinUntil([&] { return w.List1->count() > 0 && w.List1->currentItem(); }, 10000);
        runs.push_back((nowNs() - start) / 1e6);
    }
    print("vocelle_window_to_list_ms", median(runs), "ms");
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc > 1 && QString(argv[1]) == "vocelle") {
        vocelleWindowToList();
        return 0;
    }
    const QString shortText = "Copied text, read at once.";
    const double shortMs = copyToFirstSample({}, shortText);
    const double bigBoxMs = copyToFirstSample(bench::text1mb(), shortText);
    print("clipboard_to_first_sample_ms", shortMs, "ms");
    print("clipboard_to_first_sample_ms_1mb_box", bigBoxMs, "ms");
    print("clipboard_1mb_box_ratio", bigBoxMs / shortMs, "x");
    tenMegabyteCopy();
    return 0;
}
