#include "export/progress.h"

#include "shared/elapsed.h"

#include <cmath>

namespace sonorel::exporting {

std::int64_t estimateLength(const QString& text) {
    return QString(text).remove(QStringLiteral("  ")).size();
}

std::optional<double> estimateWaveSize(std::int64_t length, const QString& rateLabel) {
    bool ok = false;
    const int rate = rateLabel.trimmed().toInt(&ok);
    if (!ok || rate <= 0)
        return std::nullopt;
    return 29.0 / rate * (double(length) / 10000 * kWavBytesPer10000Chars) / 50;
}

std::optional<double> estimateMp3Size(std::int64_t waveBytes) {
    if (waveBytes <= 0)
        return std::nullopt;
    return double(waveBytes) / kWavBytesPer10000Chars * kMp3BytesPerWav / 50;
}

namespace {
std::optional<int> share(std::int64_t bytes, std::optional<double> estimate) {
    if (!estimate || *estimate <= 0)
        return std::nullopt;
    const double ratio = std::floor(double(bytes) / *estimate);
    return ratio > 1e6 ? 1000000 : int(ratio);
}
} // namespace

std::optional<int> wavePercent(std::int64_t waveBytes, std::optional<double> estimate, bool mp3) {
    const std::optional<int> n = share(waveBytes, estimate);
    if (!n)
        return std::nullopt;
    return mp3 ? std::min(*n, 50) : std::min(2 * *n, 100);
}

std::optional<int> mp3Percent(std::int64_t mp3Bytes, std::optional<double> estimate) {
    const std::optional<int> n = share(mp3Bytes, estimate);
    if (!n)
        return std::nullopt;
    return *n + 50;
}

QString progressLine(const QString& voiceListText, int percent, std::int64_t elapsedSeconds) {
    const bool over = percent > 100;
    return voiceListText + QStringLiteral("   Completed: ") +
           QString::number(over ? 100 : percent) +
           (over ? QStringLiteral("%  Elapsed Time:") : QStringLiteral("%  Elapsed Time: ")) +
           elapsedText(elapsedSeconds);
}

} // namespace sonorel::exporting
