#pragma once
// sonorel-say run as a program in a folder of its own, and what its sound files hold.

#include "support/tempdir.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <sndfile.h>

namespace sonorel::test {

inline const QString kText = QStringLiteral(
    "The quick brown fox jumps over the lazy dog. Then it runs home, a little tired.");

struct SayRun {
    int status = -1;
    QByteArray out, err;
};

inline SayRun say(const QStringList& args, const QByteArray& input = {},
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SONOREL_BIN_DIR "/sonorel-say"), args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(90000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// Peak of the decoded samples, as a fraction of full scale.
inline double peakOf(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return 0;
    std::array<float, 4096> buf{};
    double peak = 0;
    sf_count_t n;
    while ((n = sf_read_float(f, buf.data(), sf_count_t(buf.size()))) > 0)
        for (sf_count_t i = 0; i < n; ++i)
            peak = std::max(peak, double(std::fabs(buf[std::size_t(i)])));
    sf_close(f);
    return peak;
}

inline int majorFormat(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return 0;
    sf_close(f);
    return info.format;
}

struct Mp3Walk {
    int frames = 0;
    int rate = 0;
    double seconds = 0;
    bool brokenChain = false; // something other than a frame where a frame must begin
};

// Walks the MPEG layer III frames from the first to the end of the file, each
// found where the one before it says it ends.
inline Mp3Walk walkMp3(const QString& path) {
    Mp3Walk w;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return w;
    const QByteArray d = file.readAll();
    qsizetype at = 0;
    if (d.startsWith("ID3") && d.size() >= 10)
        at = 10 + ((d[6] & 0x7f) << 21 | (d[7] & 0x7f) << 14 | (d[8] & 0x7f) << 7 | (d[9] & 0x7f));
    static constexpr int kBitrates1[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                         112, 128, 160, 192, 224, 256, 320};
    static constexpr int kBitrates2[] = {0,  8,  16, 24,  32,  40,  48, 56,
                                         64, 80, 96, 112, 128, 144, 160};
    static constexpr int kRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    while (at + 4 <= d.size()) {
        const auto b = [&](qsizetype i) { return std::uint8_t(d[at + i]); };
        const int version = (b(1) >> 3) & 3, bitrateIndex = b(2) >> 4, rateIndex = (b(2) >> 2) & 3;
        if (b(0) != 0xff || (b(1) & 0xe0) != 0xe0 || (b(1) & 0x06) != 0x02 || version == 1 ||
            bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
            // A trailing ID3v1 tag is the only other thing allowed.
            w.brokenChain = !(d.size() - at == 128 && d.mid(at, 3) == "TAG");
            break;
        }
        const int rate = kRates[version][rateIndex];
        const bool mpeg1 = version == 3;
        const int kbps = (mpeg1 ? kBitrates1 : kBitrates2)[bitrateIndex];
        const int length = (mpeg1 ? 144 : 72) * kbps * 1000 / rate + ((b(2) >> 1) & 1);
        w.rate = rate;
        ++w.frames;
        w.seconds += (mpeg1 ? 1152.0 : 576.0) / rate;
        at += length;
    }
    return w;
}

class SayTest : public TempDirTest {
protected:
    // Nothing but the given names in the folder: no temporary file left over.
    QStringList folderContents() const {
        return QDir(path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    void writeFile(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // An environment whose `lame` takes some input, says "lame: disk on fire"
    // and gives up.
    QProcessEnvironment failingEncoder() {
        QDir().mkpath(path("bin"));
        writeFile("bin/lame",
                  "#!/bin/sh\nhead -c 1000 >/dev/null\necho 'lame: disk on fire' >&2\nexit 3\n");
        QFile::setPermissions(path("bin/lame"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", path("bin") + ':' + env.value("PATH"));
        return env;
    }
};

} // namespace sonorel::test
