#pragma once
// Reading and writing sound files in tests: what a WAV holds, and whether a file
// is an MP3 (an optional ID3 tag, then an MPEG audio frame header).

#include <cstdint>
#include <QString>

namespace sonorel::test {

struct WaveStats {
    int rate = 0; // 0 when the file is not a readable sound file
    std::int64_t frames = 0;
    double rms = 0;
    double seconds() const { return rate ? double(frames) / rate : 0; }
};
WaveStats readWave(const QString& path);

// A mono 16-bit WAV of a 440 Hz tone.
bool writeTone(const QString& path, double seconds, int rate = 22050);

bool looksLikeMp3(const QString& path);

} // namespace sonorel::test
