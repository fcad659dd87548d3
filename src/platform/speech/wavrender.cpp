#include "platform/speech/wavrender.h"

#include "platform/speech/textchunker.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <QFile>
#include <sndfile.h>
#include <thread>
#include <vector>

namespace sonorel::platform::speech {

namespace {

// Chunks synthesized ahead of the writer, at most: bounds memory whatever the text.
// Two per synthesis thread keep every thread busy; a chunk is a minute or more of
// sound, so a slow writer (an encoder) would otherwise hold many of them.
constexpr std::size_t kWindow = 4;

struct Rendered {
    std::vector<std::int16_t> samples;
    std::vector<WordMark> words; // positions in the whole text
    bool ok = true;
    QString error;
};

} // namespace

RenderResult renderToWav(const RenderRequest& request, const std::atomic<bool>& cancel,
                         const RenderWordHook& onWord) {
    RenderResult result;
    SF_INFO info{};
    info.samplerate = request.synth->sampleRate();
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(request.path).constData(), SFM_WRITE, &info);
    if (!file) {
        result.error =
            QStringLiteral("cannot write %1: %2").arg(request.path, sf_strerror(nullptr));
        return result;
    }
    // Keep the header true while the file grows, so its size can be watched.
    sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    result = renderSamples(
        request, cancel,
        [&](const std::int16_t* data, std::size_t count) {
            const sf_count_t n = sf_count_t(count);
            if (sf_writef_short(file, data, n) != n)
                return QStringLiteral("cannot write %1: %2").arg(request.path, sf_strerror(file));
            return QString();
        },
        onWord);
    if (sf_close(file) != 0 && result.error.isEmpty()) {
        result.error = QStringLiteral("cannot finish %1").arg(request.path);
        result.ok = false;
    }
    return result;
}

RenderResult renderSamples(const RenderRequest& request, const std::atomic<bool>& cancel,
                           const SampleSink& sink, const RenderWordHook& onWord) {
    RenderResult result;
    // Sentences are joined into pieces of the engine's liking: each synthesis
    // call has a cost of its own, and no first sound is waited for.
    std::vector<TextChunk> chunks;
    {
        const int piece = request.synth->filePieceLength();
        TextChunker chunker(request.text, false);
        while (const auto c = chunker.next()) {
            if (!chunks.empty() && chunks.back().length + c->length <= piece)
                chunks.back().length += c->length;
            else
                chunks.push_back(*c);
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, Rendered> done;
    std::size_t nextToTake = 0, nextToWrite = 0;
    bool stop = false;

    const auto work = [&] {
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return stop || cancel || nextToTake >= chunks.size() ||
                           nextToTake < nextToWrite + kWindow;
                });
                if (stop || cancel || nextToTake >= chunks.size())
                    return;
                index = nextToTake++;
            }
            Rendered r;
            const TextChunk& c = chunks[index];
            ChunkCollector out([&cancel] { return cancel.load(); }, c.start);
            try {
                r.ok = request.synth->synthesize(QStringView(request.text).mid(c.start, c.length),
                                                 request.settings, out);
            } catch (const EngineError& e) {
                r.ok = false;
                r.error = QString::fromStdString(e.what());
            }
            r.samples = std::move(out.samples);
            r.words = std::move(out.words);
            {
                std::lock_guard lock(mutex);
                done.emplace(index, std::move(r));
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < std::max(1, request.threads); ++i)
        workers.emplace_back(work);

    std::vector<std::int16_t> scaled;
    while (nextToWrite < chunks.size()) {
        Rendered r;
        {
            std::unique_lock lock(mutex);
            // `cancel` is set by another thread without a notification, so the
            // wait looks at it again now and then rather than sleeping through it.
            while (!changed.wait_for(lock, std::chrono::milliseconds(20),
                                     [&] { return cancel || done.count(nextToWrite) > 0; })) {
            }
            if (cancel)
                break;
            r = std::move(done.at(nextToWrite));
            done.erase(nextToWrite);
            ++nextToWrite;
        }
        changed.notify_all();
        if (!r.ok) {
            result.error = r.error.isEmpty() ? QStringLiteral("synthesis stopped") : r.error;
            break;
        }
        const std::int16_t* data = r.samples.data();
        if (request.gain < 0.999f) {
            scaled.resize(r.samples.size());
            std::transform(r.samples.begin(), r.samples.end(), scaled.begin(),
                           [g = request.gain](std::int16_t s) { return std::int16_t(s * g); });
            data = scaled.data();
        }
        if (onWord)
            for (const WordMark& w : r.words)
                onWord(w.position, w.length, result.frames + w.sample);
        if (const QString error = sink(data, r.samples.size()); !error.isEmpty()) {
            result.error = error;
            break;
        }
        result.frames += std::int64_t(r.samples.size());
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& t : workers)
        t.join();
    result.cancelled = cancel;
    result.ok = result.error.isEmpty() && !result.cancelled;
    return result;
}

} // namespace sonorel::platform::speech
