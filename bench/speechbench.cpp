// Speech platform benchmarks. Prints one "name value unit" line per figure.
//   speechbench              latency, WAV rendering against the engines' own tools,
//                            event delivery error
//   speechbench rss          peak memory while speaking 1 MB for 30 s (own process)

#include "benchtext.h"
#include "benchutil.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/wavrender.h"
#include "stampsink.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <vector>

using namespace sonorel::platform::speech;

namespace {

using sonorel::bench::median;
using sonorel::bench::nowNs;
using sonorel::bench::print;
using sonorel::bench::spinUntil;
using sonorel::bench::StampSink;

SinkFactory stampSinks(const std::shared_ptr<StampSink::Log>& log, bool realTime) {
    return StampSink::factory(log, realTime);
}

// Speak call to the first sample handed to the sound output, median of 7.
template <class Speak> double firstSampleMs(Speak speak, const QString& text) {
    std::vector<double> runs;
    for (int i = 0; i < 8; ++i) {
        auto log = std::make_shared<StampSink::Log>();
        const std::int64_t start = nowNs();
        auto stop = speak(stampSinks(log, false), text);
        spinUntil(
            [&] {
                std::lock_guard l(log->mutex);
                return log->firstWriteNs != 0;
            },
            10000);
        if (i > 0) // the first run loads the voice
            runs.push_back((log->firstWriteNs - start) / 1e6);
        stop();
    }
    return median(runs);
}

double seconds(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

double runTool(const QString& program, const QStringList& args) {
    return seconds([&] {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(-1);
    });
}

// Word events: delivery on the UI thread minus the hand-over of the block that
// holds their first sample. Matched after the run: an event is posted just before
// its block is written, so its block may not be logged yet when it arrives.
template <class Voice, class Connect>
double eventErrorP95(Voice& voice, Connect connectWords, const std::shared_ptr<StampSink::Log>& log,
                     int bytesPerSample, int seconds) {
    std::vector<std::pair<std::int64_t, std::int64_t>> delivered; // (sample, ns)
    connectWords(voice, [&](qint64 position) {
        delivered.emplace_back(position / bytesPerSample, nowNs());
    });
    spinUntil([] { return false; }, seconds * 1000);
    std::vector<double> errors;
    std::lock_guard lock(log->mutex);
    for (const auto& [sample, at] : delivered) {
        auto it = std::upper_bound(log->writes.begin(), log->writes.end(), sample,
                                   [](std::int64_t s, const auto& w) { return s < w.first; });
        if (it == log->writes.begin())
            continue;
        errors.push_back((at - std::prev(it)->second) / 1e6);
    }
    std::sort(errors.begin(), errors.end(),
              [](double a, double b) { return std::abs(a) < std::abs(b); });
    return errors.empty() ? -1 : errors[errors.size() * 95 / 100];
}

long peakRssKb() {
    QFile f("/proc/self/status");
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    FliteFamily flite;
    EspeakFamily espeak;
    const QString shortText = sonorel::bench::kOpening;
    const QString big = sonorel::bench::opened1mb();

    if (app.arguments().value(1) == "rss") {
        DirectSS reader(flite, makeSinkFactory(AudioMode::Silent, "bench"));
        reader.Select(1);
        reader.TextData(0, 0, big);
        spinUntil([] { return false; }, 30000);
        print("speak_1mb_peak_rss_mb", peakRssKb() / 1024.0, "MB");
        return 0;
    }

    const auto speak4 = [&](SinkFactory sinks, const QString& text) {
        auto voice = std::make_shared<DirectSS>(flite, sinks);
        voice->Select(1);
        voice->TextData(0, 0, text);
        return [voice] { voice->AudioReset(); };
    };
    const auto speak5 = [&](SinkFactory sinks, const QString& text) {
        auto voice = std::make_shared<SpVoice>(espeak, sinks);
        voice->Speak(text, SVSFlagsAsync);
        return [voice] { voice->Speak("", SVSFPurgeBeforeSpeak); };
    };
    const bool onlyWav = app.arguments().value(1) == "wav";
    if (!onlyWav) {
        print("first_sample_ms_short_g4", firstSampleMs(speak4, shortText), "ms");
        print("first_sample_ms_1mb_g4", firstSampleMs(speak4, big), "ms");
        print("first_sample_ms_short_g5", firstSampleMs(speak5, shortText), "ms");
        print("first_sample_ms_1mb_g5", firstSampleMs(speak5, big), "ms");

        {
            auto log = std::make_shared<StampSink::Log>();
            SpVoice voice(espeak, stampSinks(log, true));
            voice.Speak(big, SVSFlagsAsync);
            print("event_error_ms_p95",
                  eventErrorP95(
                      voice,
                      [](SpVoice& v, auto f) {
                          QObject::connect(&v, &SpVoice::Word,
                                           [f](int, qint64 pos, int, int) { f(pos); });
                      },
                      log, 2, 20),
                  "ms");
            voice.Speak("", SVSFPurgeBeforeSpeak);
        }
    }
    QTemporaryDir dir;
    const QString textFile = dir.filePath("text.txt");
    {
        QFile f(textFile);
        f.open(QIODevice::WriteOnly);
        f.write(sonorel::bench::englishText100k().toUtf8());
    }
    const QString text = sonorel::bench::englishText100k();
    std::atomic<bool> cancel{false};
    const auto render = [&](EngineFamily& family, int voice) {
        RenderRequest r;
        r.text = text;
        r.path = dir.filePath("ours.wav");
        r.synth = family.synthesizer(voice);
        r.settings = {family.speedRange(voice).normal, family.pitchRange(voice).normal};
        return seconds([&] { renderToWav(r, cancel); });
    };
    const double ours5 = render(espeak, espeak.defaultVoice());
    const double cli5 = runTool("espeak-ng", {"-f", textFile, "-w", dir.filePath("cli.wav")});
    print("wav_ratio_vs_cli_g5", ours5 / cli5, "x");
    const double ours4 = render(flite, 0);
    const double cli4 =
        runTool("flite", {"-voice", "slt", "-f", textFile, "-o", dir.filePath("cli.wav")});
    print("wav_ratio_vs_cli_g4", ours4 / cli4, "x");
    return 0;
}
