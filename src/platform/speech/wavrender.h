#pragma once
// Renders a whole text into a WAV file at the voice's own rate, faster than real
// time: chunks are synthesized on several threads and written in order as they
// come, so the file exists and grows from the start and is never held whole.

#include "platform/speech/synthesizer.h"

#include <atomic>
#include <functional>
#include <QString>

namespace sonorel::platform::speech {

struct RenderRequest {
    QString text;
    QString path;
    std::shared_ptr<Synthesizer> synth;
    SynthSettings settings;
    float gain = 1.0f;
    int threads = 2; // synthesis threads; a family that cannot run twice serializes them
};

struct RenderResult {
    bool ok = false;
    bool cancelled = false;
    QString error;
    std::int64_t frames = 0;
};

// Told on the rendering thread as each word's samples are written.
using RenderWordHook = std::function<void(int position, int length, std::int64_t sample)>;

// Takes each run of rendered samples, in order, on the rendering thread. Returns
// why it could not take them (the rendering stops), or an empty string.
using SampleSink = std::function<QString(const std::int16_t* samples, std::size_t count)>;

// The rendering itself, into any sink: `request.path` is not used.
RenderResult renderSamples(const RenderRequest& request, const std::atomic<bool>& cancel,
                           const SampleSink& sink, const RenderWordHook& onWord = {});

// Blocks the calling thread until the file is written, the engine fails or
// `cancel` is set. A cancelled or failed rendering leaves what was written.
RenderResult renderToWav(const RenderRequest& request, const std::atomic<bool>& cancel,
                         const RenderWordHook& onWord = {});

} // namespace sonorel::platform::speech
