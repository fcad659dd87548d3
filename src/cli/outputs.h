#pragma once
// Where rendered speech goes when it is not played: a sound file whose format
// comes from its extension, or WAV on standard output. A file is written under a
// temporary name in its own folder and renamed when complete, so the final name
// never holds half a file; a failed or abandoned output leaves nothing behind.

#include <cstdint>
#include <memory>
#include <QString>

namespace sonorel::cli {

class SampleOutput {
public:
    virtual ~SampleOutput() = default;
    // Each returns why it failed, or an empty string. Samples are mono 16-bit at
    // the rate given to open().
    virtual QString open(int sampleRate) = 0;
    virtual QString write(const std::int16_t* samples, std::size_t count) = 0;
    virtual QString finish() = 0;
    // Removes whatever was written (after a failure); harmless when nothing was.
    virtual void discard() = 0;
};

enum class OutputKind { Wav, Flac, Ogg, Opus, Mp3, StandardOutput, Unknown };

// From the extension, in any case; "-" is standard output.
OutputKind outputKindFor(const QString& path);

// `programFolder`: where a `lame` beside the program is looked for first.
std::unique_ptr<SampleOutput> makeOutput(OutputKind kind, const QString& path,
                                         const QString& programFolder);

// A new empty file in `target`'s folder, for writing `target` under another name;
// empty (and `error` set) when the folder cannot take it.
QString reserveTemporary(const QString& target, QString& error);
// Puts `from` in place of `to` in one step. Returns why it failed, or nothing.
QString renameOnto(const QString& from, const QString& to);

// Opus takes only some sample rates: the one a voice's rate is raised to.
int opusRateFor(int sampleRate);

} // namespace sonorel::cli
