#pragma once
// The MP3 encoder shared by everything that makes MP3 files: the external `lame`
// program, started hidden with "-f <wav> <mp3>" as an argument list, watched by
// its process id, and the moves of its input and output afterwards.

#include "platform/process.h"

#include <optional>
#include <QString>

namespace sonorel::exporting {

struct EncoderStart {
    std::optional<qint64> pid; // set when the encoder runs
    QString command;           // what was started, for the log
    QString error;             // why it did not start (a sentence for the user)
};

// Starts the encoder on `wav`, writing `mp3`. The WAV is checked first: the
// encoder would happily turn any other file into noise.
EncoderStart startEncoder(platform::ProcessLauncher& launcher, const QString& programFolder,
                          const QString& wav, const QString& mp3);

// True when `path` starts like a WAV file ("RIFF", size, "WAVE").
bool isWavFile(const QString& path);

// Moves `from` onto `to`, replacing it whole (a file of that name is only ever
// replaced by a complete copy). Nothing happens when both name the same file.
// Returns why it failed; empty on success.
QString moveFile(const QString& from, const QString& to);

// Where the WAV of a failed MP3 export is kept: the target's name with ".wav"
// in place of its extension, numbered when that name is taken.
QString keptWavPath(const QString& mp3Target);

} // namespace sonorel::exporting
