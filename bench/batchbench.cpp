// Batch and converter benchmarks. Prints one "name value unit" line per figure.
//   batchbench                 20 text files of about 2,000 characters made MP3s by the
//                              batch window with an espeak-ng voice, against a shell
//                              loop of espeak-ng and lame on the same files: the ratio
//                              with the quick stages and with the 500 ms polls alone,
//                              and the peak memory of the batch; then the converter on
//                              the 100,000-character text's WAV against lame alone
//   batchbench batch MODE DIR  one batch (MODE quick or poll) in this fresh process;
//                              prints its seconds and this process's peak memory in kB

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "batch/batchtext2sound.h"
#include "benchtext.h"
#include "benchutil.h"
#include "mp3conv/wavtomp3.h"
#include "shared/recordcodec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <sys/resource.h>

using namespace sonorel;
using sonorel::bench::print;

namespace {

const QString kVoice5 = QStringLiteral("English (America) (TTS5.0)");
constexpr int kFiles = 20;
constexpr int kFileChars = 2000;
constexpr int kTimeoutMs = 15 * 60 * 1000;

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "batchbench: %s\n", qPrintable(why));
    std::exit(1);
}

// Every message is remembered and answered with its default button.
class Answers final : public platform::Dialogs {
public:
    QList<platform::MessageSpec> messages, notices;
    platform::MessageAnswer message(const platform::MessageSpec& r, QWidget*) override {
        messages << r;
        return platform::defaultAnswer(r);
    }
    void notify(const platform::MessageSpec& r, QWidget*) override { notices << r; }
    std::optional<platform::FileChoice> openFile(const platform::FileDialogSpec&,
                                                 QWidget*) override {
        return std::nullopt;
    }
    std::optional<platform::FileChoice> saveFile(const platform::FileDialogSpec&,
                                                 QWidget*) override {
        return std::nullopt;
    }
    std::optional<platform::FontChoice> chooseFont(const platform::FontChoice&, QWidget*) override {
        return std::nullopt;
    }
    std::optional<QColor> chooseColor(const std::optional<QColor>&, QWidget*) override {
        return std::nullopt;
    }
    std::optional<QString> chooseFolder(const QString&, const QString&, QWidget*) override {
        return std::nullopt;
    }
};

// The reader over the real engines, encoder and temporary folder, silent.
struct Reader {
    explicit Reader(const QString& folder)
        : system(folder, folder + "/registry.json",
                 platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "bench")),
          services{.folder = system.folder,
                   .registry = system.registry,
                   .dialogs = dialogs,
                   .clock = system.clock,
                   .processes = system.processes,
                   .shell = system.shell,
                   .temp = system.temp,
                   .gen4 = system.gen4,
                   .gen5 = system.gen5,
                   .sinks = system.services.sinks,
                   .media = system.media},
          window(services, program, windows) {
        window.Form_Load({});
        window.Command7_Click();
        window.Combo1->hidePopup();
        window.Combo1->setCurrentIndex(window.Combo1->findText(kVoice5));
        window.Combo1_Click();
        if (window.Combo1->currentText() != kVoice5)
            fail("no voice " + kVoice5);
    }
    app::SystemServices system;
    Answers dialogs;
    app::Services services;
    app::Program program;
    app::Windows windows;
    app::sorelmain window;
};

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double runTools(const QList<QStringList>& commands) {
    QElapsedTimer t;
    t.start();
    for (const QStringList& command : commands) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(command.first(), command.mid(1));
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            fail(command.join(' ') + " failed");
    }
    return t.nsecsElapsed() / 1e9;
}

// One batch of DIR/texts into DIR/out through the window; seconds from the click
// to "Converting is complete".
double batchSeconds(const QString& dir, bool quick) {
    Reader r(dir);
    writeFileAtomically(dir + "/speak.dot", "probe");
    r.program.win.BatchSourceFolder = dir + "/texts";
    r.program.win.BatchTargetFolder = dir + "/out";
    batch::BatchText2Sound w8(r.services, r.program, r.window);
    w8.job().setQuickStages(quick);
    w8.Check1->click();
    QElapsedTimer t;
    t.start();
    w8.Command2->click();
    bench::spinUntil([&] { return w8.JobIdle(); }, kTimeoutMs);
    const double seconds = t.nsecsElapsed() / 1e9;
    if (!r.dialogs.messages.isEmpty())
        fail("the batch showed: " + r.dialogs.messages[0].text);
    if (r.dialogs.notices.value(0).text != QStringLiteral("Converting is complete\n%1 of %1 files "
                                                          "converted.")
                                               .arg(kFiles))
        fail("the batch did not convert every file: " + r.dialogs.notices.value(0).text);
    return seconds;
}

struct Run {
    double seconds = 0, peakMb = 0;
};

Run batchInFreshProcess(const QString& mode, const QString& dir) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"batch", mode, dir});
    if (!child.waitForFinished(kTimeoutMs + 60000) || child.exitCode() != 0)
        fail("the " + mode + " batch failed");
    const QList<QByteArray> f = child.readAllStandardOutput().simplified().split(' ');
    return {f.value(0).toDouble(), f.value(1).toDouble() / 1024.0};
}

void batchFigures(const QString& text) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("texts");
    QDir(dir.path()).mkpath("out");
    QDir(dir.path()).mkpath("cli");
    QList<QStringList> loop;
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("part%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        const QString file = dir.filePath("texts/" + name + ".txt");
        writeFileAtomically(file, text.mid(i * kFileChars, kFileChars).toUtf8());
        const QString wav = dir.filePath("cli/" + name + ".wav");
        loop << QStringList{"espeak-ng", "-v", "en-us", "-f", file, "-w", wav}
             << QStringList{"lame", "-f", wav, dir.filePath("cli/" + name + ".mp3")};
    }
    // The loop and the window's batch in turn, twice each, so that a machine busy
    // with something else weighs on both alike; the faster run of each counts.
    double cli = 1e9;
    Run quick{1e9, 0};
    for (int round = 0; round < 2; ++round) {
        cli = std::min(cli, runTools(loop));
        const Run run = batchInFreshProcess("quick", dir.path());
        quick = {std::min(quick.seconds, run.seconds), std::max(quick.peakMb, run.peakMb)};
    }
    const Run poll = batchInFreshProcess("poll", dir.path());
    print("batch_cli_loop_s", cli, "s");
    print("batch_window_s", quick.seconds, "s");
    print("batch_mp3_ratio_vs_cli_g5", quick.seconds / cli, "x");
    print("batch_window_poll_only_s", poll.seconds, "s");
    print("batch_mp3_ratio_vs_cli_g5_poll_only", poll.seconds / cli, "x");
    print("batch_peak_rss_mb", std::max(quick.peakMb, poll.peakMb), "MB");
}

void converterFigure(const QString& text) {
    QTemporaryDir dir;
    const QString wav = dir.filePath("text.wav"), textFile = dir.filePath("text.txt");
    writeFileAtomically(textFile, text.toUtf8());
    runTools({{"espeak-ng", "-v", "en-us", "-f", textFile, "-w", wav}});
    Reader r(dir.path());
    mp3conv::ConvertPaths paths;
    bool finished = false;
    mp3conv::wavtomp3 c(r.services, paths, [&] { finished = true; });
    const auto convert = [&] {
        finished = false;
        c.Text1->setText(wav);
        c.Text2->setText(dir.filePath("converted.mp3"));
        QFile::remove(dir.filePath("converted.mp3"));
        QElapsedTimer t;
        t.start();
        c.Command2->click();
        bench::spinUntil([&] { return !c.isConverting(); }, kTimeoutMs);
        if (!finished)
            fail("the converter did not finish");
        return t.nsecsElapsed() / 1e9;
    };
    // Taken in turn, three times each, so that a machine busy with something else
    // weighs on both alike; the faster run of each counts.
    double lame = 1e9, converter = 1e9;
    for (int round = 0; round < 3; ++round) {
        lame = std::min(lame, runTools({{"lame", "-f", wav, dir.filePath("lame.mp3")}}));
        converter = std::min(converter, convert());
    }
    print("convert_wav_mb", QFileInfo(wav).size() / 1e6, "MB");
    print("convert_lame_s", lame, "s");
    print("convert_window_s", converter, "s");
    print("convert_wav_ratio_vs_lame", converter / lame, "x");
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    const QString text = bench::englishText100k();
    if (text.size() < 100000)
        fail("the benchmark text is incomplete (/usr/share/common-licenses)");
    if (app.arguments().value(1) == "batch") {
        const double seconds =
            batchSeconds(app.arguments().value(3), app.arguments().value(2) == "quick");
        std::printf("%.6f %ld\n", seconds, peakRssKb());
        return 0;
    }
    batchFigures(text);
    converterFigure(text);
    return 0;
}
