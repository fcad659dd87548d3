// Speech export benchmarks. Prints one "name value unit" line per figure.
//   exportbench              the 100,000-character text saved as WAV (both generations)
//                            and MP3 through the main window's Save button, each against
//                            the engines' own command-line tools on the same text, and
//                            the peak memory of each save
//   exportbench save KIND PATH   one save (wav4, wav5 or mp3) in this fresh process;
//                            prints its seconds and this process's peak memory in kB
//   exportbench exit         how long ending the program takes while an MP3 save of
//                            the text renders (both generations) and while its encoder
//                            runs (also printed first by the whole run)

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "benchtext.h"
#include "benchutil.h"
#include "export/speechrecording.h"
#include "platform/speech/session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <sys/resource.h>
#include <utility>

using namespace sonorel;
using sonorel::bench::print;

namespace {

const QString kVoice4 = QStringLiteral("Mary (TTS4.0)");
const QString kVoice5 = QStringLiteral("English (America) (TTS5.0)");
constexpr int kSaveTimeoutMs = 15 * 60 * 1000; // flite alone needs over a minute here
constexpr qint64 kSmallestOutput = 1 << 20;    // anything less is not this text's speech

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "exportbench: %s\n", qPrintable(why));
    std::exit(1);
}

// The Save dialog answers with the file the benchmark names; a message box is
// answered with its default button and remembered, since during a save one only
// ever reports a failure.
class ScriptedDialogs final : public platform::Dialogs {
public:
    std::optional<platform::FileChoice> saveAnswer;
    QList<platform::MessageSpec> messages;

    platform::MessageAnswer message(const platform::MessageSpec& request, QWidget*) override {
        messages << request;
        return platform::defaultAnswer(request);
    }
    void notify(const platform::MessageSpec& request, QWidget*) override { messages << request; }
    std::optional<platform::FileChoice> openFile(const platform::FileDialogSpec&,
                                                 QWidget*) override {
        return std::nullopt;
    }
    std::optional<platform::FileChoice> saveFile(const platform::FileDialogSpec&,
                                                 QWidget*) override {
        return std::exchange(saveAnswer, std::nullopt);
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

// A main window over the real engines, encoder and temporary folder, silent, with
// its own settings folder and the scripted dialogs.
struct Exporter {
    Exporter()
        : system(dir.path(), dir.filePath("registry.json"),
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
    }
    void useVoice(const QString& entry) {
        window.Command7_Click();
        window.Combo1->hidePopup();
        const int index = window.Combo1->findText(entry);
        if (index < 0)
            fail("no voice " + entry + " in the list");
        window.Combo1->setCurrentIndex(index);
        window.Combo1_Click();
        if (window.Combo1->currentText() != entry)
            fail("could not switch to " + entry);
    }
    bool saved() const { return !window.isRecording() && windows.isOpen(app::WindowId::Mp3End); }

    QTemporaryDir dir;
    app::SystemServices system;
    ScriptedDialogs dialogs;
    app::Services services;
    app::Program program;
    app::Windows windows;
    app::sorelmain window;
};

enum class Kind { Wav, Mp3 };

// Seconds from the Save click to the finish notice, the file checked afterwards.
double saveSeconds(const QString& voice, Kind kind, const QString& text, const QString& path) {
    Exporter e;
    e.useVoice(voice);
    e.window.RichTextBox1->setPlainText(text);
    e.dialogs.messages.clear();
    e.dialogs.saveAnswer = platform::FileChoice{path, kind == Kind::Mp3 ? 3 : 4};
    QElapsedTimer t;
    t.start();
    e.window.Command4_Click();
    // The click starts the save; the rest goes on on the window's events.
    platform::runEventsUntil([&] { return e.saved() || !e.dialogs.messages.isEmpty(); },
                             kSaveTimeoutMs);
    const double seconds = t.nsecsElapsed() / 1e9;
    for (const platform::MessageSpec& m : std::as_const(e.dialogs.messages))
        fail("saving " + path + " with " + voice + " showed a message: " + m.text);
    if (!e.saved())
        fail("saving " + path + " with " + voice + " did not finish in time");
    if (QFileInfo(path).size() < kSmallestOutput)
        fail(path + " is missing or too small after the save");
    return seconds;
}

// Seconds the given commands take, run one after the other, output discarded.
double toolSeconds(const QList<QStringList>& commands, const QString& output) {
    QElapsedTimer t;
    t.start();
    for (const QStringList& command : commands) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(command.first(), command.mid(1));
        if (!p.waitForStarted(-1) || !p.waitForFinished(-1) ||
            p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            fail(command.join(' ') + " failed");
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    if (QFileInfo(output).size() < kSmallestOutput)
        fail(output + " is missing or too small after " + commands.last().first());
    return seconds;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

struct SaveRun {
    double seconds = 0;
    double peakMb = 0;
};

// One save in a fresh copy of this program, so that its peak memory is the save's
// own and every save loads its voice as the tools do.
SaveRun saveInFreshProcess(const QString& kind, const QString& path) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"save", kind, path});
    if (!child.waitForFinished(kSaveTimeoutMs + 60000) ||
        child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        fail("the " + kind + " save failed");
    const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
    bool secondsOk = false, kbOk = false;
    SaveRun run;
    run.seconds = fields.value(0).toDouble(&secondsOk);
    run.peakMb = fields.value(1).toDouble(&kbOk) / 1024.0;
    if (!secondsOk || !kbOk)
        fail("the " + kind + " save reported nothing");
    return run;
}

// Milliseconds ExitAll takes during an MP3 save of `text`: while the voice renders
// the WAV, and while the encoder makes the MP3. Its temporary files must be gone.
void exitDuringSave(const QString& text) {
    struct Stage {
        const char* name;
        QString voice;
        bool encoder;
    };
    for (const Stage& stage : {Stage{"exit_during_render_ms_g4", kVoice4, false},
                               Stage{"exit_during_render_ms_g5", kVoice5, false},
                               Stage{"exit_during_encoder_ms_g5", kVoice5, true}}) {
        Exporter e;
        bool exited = false;
        e.window.onExit = [&] { exited = true; };
        e.useVoice(stage.voice);
        // A twentieth of the text keeps the encoder busy for seconds.
        e.window.RichTextBox1->setPlainText(stage.encoder ? text.left(5000) : text);
        e.dialogs.saveAnswer = platform::FileChoice{e.dir.filePath("exit.mp3"), 3};
        e.window.Command4_Click();
        const exporting::RecordingState& save = e.window.speechSave->state();
        if (stage.encoder)
            bench::spinUntil([&] { return save.encoder.pid() || !e.window.isRecording(); },
                             kSaveTimeoutMs);
        else
            bench::spinUntil([&] { return QFileInfo(save.TempWav).size() > (1 << 20); },
                             kSaveTimeoutMs);
        if (!e.window.isRecording() || (stage.encoder && !save.encoder.pid()))
            fail(QString(stage.name) + ": the save was not under way");
        QElapsedTimer t;
        t.start();
        e.window.ExitAll();
        const double ms = t.nsecsElapsed() / 1e6;
        if (!exited || e.window.isRecording())
            fail(QString(stage.name) + ": ExitAll left the save running");
        if (QFileInfo::exists(save.TempWav) || QFileInfo::exists(save.TempMp3))
            fail(QString(stage.name) + ": temporary files were left behind");
        print(stage.name, ms, "ms");
    }
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The reader's temporary folder (tmp$.wav, tmp$.mp3) is made under the
    // runtime folder: one of our own, on the same disk as the tools' outputs.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    const QString text = bench::englishText100k();
    if (text.size() < 100000)
        fail("the benchmark text is incomplete (/usr/share/common-licenses)");

    if (app.arguments().value(1) == "save") {
        const QString kind = app.arguments().value(2), path = app.arguments().value(3);
        double seconds = 0;
        if (kind == "wav4")
            seconds = saveSeconds(kVoice4, Kind::Wav, text, path);
        else if (kind == "wav5")
            seconds = saveSeconds(kVoice5, Kind::Wav, text, path);
        else if (kind == "mp3")
            seconds = saveSeconds(kVoice5, Kind::Mp3, text, path);
        else
            fail("unknown save: " + kind + " (wav4, wav5, mp3)");
        std::printf("%.6f %ld\n", seconds, peakRssKb());
        return 0;
    }

    exitDuringSave(text);
    if (app.arguments().value(1) == "exit")
        return 0;

    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    const QString textFile = dir.filePath("text.txt");
    {
        QFile f(textFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
            fail("cannot write " + textFile);
    }
    const QString oursWav = dir.filePath("ours.wav"), oursMp3 = dir.filePath("ours.mp3");
    const QString toolWav = dir.filePath("out.wav"), toolMp3 = dir.filePath("out.mp3");
    const QString middle = dir.filePath("t.wav");
    double peakMb = 0;
    // The window's save, then the tool on the same text, `runs` times; the median
    // of each pair's ratio is printed, since other work on the machine comes and goes.
    // Outputs are removed after each pair so the disk holds one pair's at a time.
    // `type` is wav or mp3, `generation` g4 or g5.
    const auto compare = [&](const std::string& type, const std::string& generation,
                             const QString& kind, const QString& ours,
                             const QList<QStringList>& tool, const QString& theirs, int runs) {
        std::vector<double> saves, clis, ratios;
        for (int i = 0; i < runs; ++i) {
            const SaveRun save = saveInFreshProcess(kind, ours);
            const double cli = toolSeconds(tool, theirs);
            for (const QString& f : {oursWav, oursMp3, toolWav, toolMp3, middle})
                QFile::remove(f);
            saves.push_back(save.seconds);
            clis.push_back(cli);
            ratios.push_back(save.seconds / cli);
            peakMb = std::max(peakMb, save.peakMb);
            if (i == 0)
                print(("save_peak_rss_mb_" + type + "_" + generation).c_str(), save.peakMb, "MB");
        }
        print(("save_" + type + "_s_" + generation).c_str(), bench::median(saves), "s");
        print(("cli_" + type + "_s_" + generation).c_str(), bench::median(clis), "s");
        print(("save_" + type + "_ratio_vs_cli_" + generation).c_str(), bench::median(ratios), "x");
    };
    // flite needs minutes for the text, so its pair runs once.
    compare("wav", "g4", "wav4", oursWav,
            {{"flite", "-voice", "slt", "-f", textFile, "-o", toolWav}}, toolWav, 1);
    compare("wav", "g5", "wav5", oursWav, {{"espeak-ng", "-f", textFile, "-w", toolWav}}, toolWav,
            3);
    compare("mp3", "g5", "mp3", oursMp3,
            {{"espeak-ng", "-f", textFile, "-w", middle}, {"lame", "-f", middle, toolMp3}}, toolMp3,
            3);
    // The largest of the three: the saves hold different things at once.
    print("save_peak_rss_mb", peakMb, "MB");
    return 0;
}
