#include "support/wavefile.h"

#include <cmath>
#include <QFile>
#include <sndfile.h>
#include <vector>

namespace sonorel::test {

WaveStats readWave(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    std::vector<short> samples(std::size_t(info.frames * info.channels));
    sf_readf_short(f, samples.data(), info.frames);
    sf_close(f);
    double sum = 0;
    for (short s : samples)
        sum += double(s) * s;
    return {info.samplerate, info.frames, samples.empty() ? 0 : std::sqrt(sum / samples.size())};
}

bool writeTone(const QString& path, double seconds, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    std::vector<short> samples(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = short(8000 * std::sin(2 * M_PI * 440 * double(i) / rate));
    const bool ok = sf_writef_short(f, samples.data(), sf_count_t(samples.size())) ==
                    sf_count_t(samples.size());
    return sf_close(f) == 0 && ok;
}

bool looksLikeMp3(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.read(64 * 1024);
    qsizetype at = 0;
    if (data.startsWith("ID3") && data.size() >= 10) // tag size: four 7-bit bytes
        at = 10 + ((data[6] & 0x7f) << 21 | (data[7] & 0x7f) << 14 | (data[8] & 0x7f) << 7 |
                   (data[9] & 0x7f));
    if (at + 4 > data.size())
        return false;
    const auto b = [&](qsizetype i) { return std::uint8_t(data[at + i]); };
    // Frame sync, MPEG version and layer III, a bit rate index other than "bad".
    return b(0) == 0xff && (b(1) & 0xe0) == 0xe0 && (b(1) & 0x06) == 0x02 && (b(2) >> 4) != 0xf;
}

} // namespace sonorel::test
