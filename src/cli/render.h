#pragma once
// One text into one sound file (and its subtitles): the step a single run and
// each file of a folder run share. Also the interruption flag both watch.

#include "platform/speech/synthesizer.h"

#include <functional>
#include <memory>
#include <optional>
#include <QString>

namespace sonorel::cli {

// The voice with its settings, as picked from the command line.
struct Speaker {
    std::shared_ptr<platform::speech::Synthesizer> synth;
    platform::speech::SynthSettings settings;
    float gain = 1.0f;
};

// A text file read as the reader reads it; empty and `error` set when refused.
std::optional<QString> readTextFrom(const QString& path, QString& error);

// Why `output` (or `subtitles`, when given) cannot be written by type; empty when
// both are known types. Checked before any speech is made.
QString outputTypeError(const QString& output, const QString& subtitles);

// Renders `text` into `output`, with subtitles when `subtitles` is not empty;
// `reached` follows the position in the text. Returns why it failed, empty when
// both files are complete under their final names. A failed or interrupted
// rendering leaves neither behind.
QString renderInto(const QString& text, const QString& output, const QString& subtitles,
                   const Speaker& speaker, const QString& programFolder,
                   const std::function<void(int position)>& reached);

// SIGINT, SIGTERM and SIGHUP from now on only set the flag `interrupted()` reads:
// renderings stop through it and remove their files.
void catchInterrupts();
bool interrupted();

} // namespace sonorel::cli
