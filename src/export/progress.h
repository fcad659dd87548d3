#pragma once
// How far a speech export has come, judged only from file sizes: the WAV grows
// while the voice renders, the MP3 while the encoder runs. Neither reports its
// own progress, so sizes are compared with estimates from fixed calibration
// figures. The WAV stage of an MP3 covers 0..50 %, the encoding 50..100 %.

#include <cstdint>
#include <optional>
#include <QString>

namespace sonorel::exporting {

// Calibration: WAV bytes per 10000 characters at rate 29, MP3 bytes per that many
// WAV bytes.
inline constexpr double kWavBytesPer10000Chars = 24844076;
inline constexpr double kMp3BytesPerWav = 2253740;

// The text length the estimate uses: every pair of spaces removed.
std::int64_t estimateLength(const QString& text);

// Expected WAV size / 50 for `length` characters at the rate the rate label
// shows; nothing when the label is not a positive number.
std::optional<double> estimateWaveSize(std::int64_t length, const QString& rateLabel);
// Expected MP3 size / 50 for a WAV of `waveBytes`; nothing for an empty WAV.
std::optional<double> estimateMp3Size(std::int64_t waveBytes);

// The percentage to show while the WAV is written (capped at 50 for an MP3
// target, 100 for a WAV target); nothing when there is no estimate.
std::optional<int> wavePercent(std::int64_t waveBytes, std::optional<double> estimate, bool mp3);
// The percentage while the MP3 is written: 50 plus the MP3's share, uncapped
// (the caller caps it at 100).
std::optional<int> mp3Percent(std::int64_t mp3Bytes, std::optional<double> estimate);

// "<voice>   Completed: <n>%  Elapsed Time: hh:mm:ss". Above 100 the figure shows
// as 100 and the time follows "Elapsed Time:" without the space.
QString progressLine(const QString& voiceListText, int percent, std::int64_t elapsedSeconds);

} // namespace sonorel::exporting
