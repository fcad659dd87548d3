// The real media interpreter: the shipped bell through the silent real-time
// output, and MIDI files made here rendered by FluidSynth with Debian's General
// MIDI sound font.

#include "media/mmedia.h"
#include "platform/eventwait.h"
#include "platform/mediacontrol.h"
#include "support/fakes.h"
#include "support/spin.h"
#include "support/tempdir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <mutex>
#include <QFile>
#include <sys/stat.h>

namespace sonorel::test {
namespace {

using platform::MediaError;
using platform::SystemMediaControl;
using platform::speech::AudioFormat;
using platform::speech::AudioMode;
using platform::speech::makeSinkFactory;

// Keeps every sample handed to it, as fast as it comes.
struct Captured {
    std::mutex mutex;
    std::vector<std::int16_t> samples;
    AudioFormat format;
};
class CaptureSink final : public platform::speech::AudioSink {
public:
    explicit CaptureSink(std::shared_ptr<Captured> into) : m_into(std::move(into)) {}
    bool open(const AudioFormat& format) override {
        std::lock_guard lock(m_into->mutex);
        m_into->format = format;
        return true;
    }
    bool write(const std::int16_t* s, std::size_t frames) override {
        std::lock_guard lock(m_into->mutex);
        m_into->samples.insert(m_into->samples.end(), s,
                               s + frames * std::size_t(m_into->format.channels));
        return true;
    }
    void drain() override {}
    void flush() override {}
    QString name() const override { return "capture"; }

private:
    std::shared_ptr<Captured> m_into;
};

// A format-0 MIDI file: one note (middle C, piano) held for `noteTicks` at 480
// ticks a quarter, with a tempo of `usPerQuarter`, changed to `laterTempo` (when
// not 0) after the note.
QByteArray midiFile(int noteTicks, int usPerQuarter, int laterTempo = 0) {
    QByteArray track;
    const auto vlq = [&](std::uint32_t v) {
        QByteArray out;
        out.prepend(char(v & 0x7F));
        while (v >>= 7)
            out.prepend(char(0x80 | (v & 0x7F)));
        track += out;
    };
    const auto tempo = [&](int us) {
        track += QByteArray("\xFF\x51\x03", 3);
        track += char(us >> 16), track += char(us >> 8), track += char(us);
    };
    vlq(0), tempo(usPerQuarter);
    vlq(0), track += QByteArray("\xC0\x00", 2);     // piano
    vlq(0), track += QByteArray("\x90\x3C\x64", 3); // note on
    vlq(std::uint32_t(noteTicks)), track += QByteArray("\x80\x3C\x40", 3);
    if (laterTempo) {
        vlq(0), tempo(laterTempo);
        vlq(480), track += QByteArray("\x90\x3C\x00", 3); // a quarter at the new tempo
    }
    vlq(0), track += QByteArray("\xFF\x2F\x00", 3);
    QByteArray file("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14);
    file += "MTrk";
    const auto n = std::uint32_t(track.size());
    file += char(n >> 24), file += char(n >> 16), file += char(n >> 8), file += char(n);
    return file + track;
}

class MediaControlTest : public TempDirTest {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    }
    FakeClock clock{QDateTime(QDate(2026, 3, 10), QTime(10, 7, 30))};
};

TEST_F(MediaControlTest, ShippedBellPlaysThroughTheSilentOutput) {
    SystemMediaControl control(makeSinkFactory(AudioMode::Silent, "test"));
    media::Mmedia m(control, clock);
    m.mmOpen(QString(SONOREL_BIN_DIR) + "/bell.wav");
    const float length = m.Length();
    EXPECT_GT(length, 500.0f);
    EXPECT_LT(length, 2000.0f) << "longer than the clock's wait";
    EXPECT_EQ(m.Status(), "stopped");
    EXPECT_EQ(m.Position(), 0.0f);
    m.mmPlay();
    EXPECT_EQ(m.Status(), "playing");
    ASSERT_TRUE(spinUntil([&] { return m.Status() == "stopped"; }, 10000));
    EXPECT_EQ(m.Position(), length) << "played to its end";
    m.mmClose();
    EXPECT_EQ(control.sendString("Status wav7 mode").error, MediaError::NoSuchDevice);
}

TEST_F(MediaControlTest, MidiRendersNotSilentThroughFluidSynth) {
    ASSERT_FALSE(SystemMediaControl::defaultSoundFont().isEmpty()) << "no General MIDI sound font";
    auto captured = std::make_shared<Captured>();
    SystemMediaControl control([captured] { return std::make_unique<CaptureSink>(captured); });
    media::Mmedia m(control, clock);
    m.mmOpen(write("tune.mid", midiFile(960, 500000))); // two quarters at 120 a minute
    EXPECT_EQ(m.Length(), 1000.0f);
    m.mmPlay();
    ASSERT_TRUE(spinUntil([&] { return m.Status() == "stopped"; }, 10000));
    std::lock_guard lock(captured->mutex);
    EXPECT_EQ(captured->format, (AudioFormat{44100, 2}));
    EXPECT_GE(captured->samples.size(), std::size_t(44100 * 2 * 95 / 100)) << "about a second";
    double sum = 0;
    int peak = 0;
    for (const std::int16_t s : captured->samples) {
        sum += double(s) * s;
        peak = std::max(peak, std::abs(int(s)));
    }
    const double rms = std::sqrt(sum / double(captured->samples.size()));
    EXPECT_GT(peak, 1000) << "a piano note at velocity 100";
    EXPECT_GT(rms, 50);
}

TEST_F(MediaControlTest, MidiLengthFollowsTempoChanges) {
    SystemMediaControl control(makeSinkFactory(AudioMode::Fast, "test"));
    // A quarter at 120 a minute (500 ms), then a quarter at 60 a minute (1000 ms).
    write("two tempi.mid", midiFile(480, 500000, 1000000));
    ASSERT_TRUE(
        control.sendString("open \"" + path("two tempi.mid") + "\" alias m type sequencer").ok());
    EXPECT_EQ(control.sendString("status m length").text, "1500");
    ASSERT_TRUE(control.sendString("seek m to 1000").ok());
    EXPECT_EQ(control.sendString("status m position").text, "1000");
}

TEST_F(MediaControlTest, CommandsOnTheRealInterpreter) {
    SystemMediaControl control(makeSinkFactory(AudioMode::Silent, "test"));
    const QString bell = QString(SONOREL_BIN_DIR) + "/bell.wav";
    ASSERT_TRUE(control.sendString("OPEN " + bell + " ALIAS Bell TYPE WaveAudio wait").ok());
    EXPECT_EQ(control.sendString("open " + bell + " alias bell").error, MediaError::DuplicateAlias);
    EXPECT_TRUE(control.sendString("play bell").ok());
    EXPECT_TRUE(control.sendString("pause bell").ok());
    EXPECT_EQ(control.sendString("status bell mode").text, "paused");
    EXPECT_TRUE(control.sendString("resume bell").ok());
    EXPECT_EQ(control.sendString("status bell mode").text, "playing");
    EXPECT_TRUE(control.sendString("stop bell").ok());
    EXPECT_EQ(control.sendString("status bell mode").text, "stopped");
    ASSERT_TRUE(control.sendString("seek bell to 400").ok());
    EXPECT_EQ(control.sendString("status bell position").text, "400");
    ASSERT_TRUE(control.sendString("seek bell to end").ok());
    EXPECT_EQ(control.sendString("status bell position").text,
              control.sendString("status bell length").text);
    EXPECT_EQ(control.sendString("status bell volume").error, MediaError::BadArgument);
    EXPECT_EQ(control.sendString("jump bell").error, MediaError::UnknownCommand);
    EXPECT_TRUE(control.sendString("close bell").ok());
    EXPECT_EQ(control.sendString("close bell").error, MediaError::NoSuchDevice);
    // Video, missing files and files that are no sound open nothing.
    EXPECT_EQ(control.sendString("open /x/film.avi alias avi7 type AviVideo").error,
              MediaError::UnknownType);
    EXPECT_EQ(control.sendString("open " + path("none.wav") + " alias w type waveaudio").error,
              MediaError::CannotOpenFile);
    EXPECT_EQ(
        control.sendString("open " + write("text.mid", "hello") + " alias m type sequencer").error,
        MediaError::CannotOpenFile);
    EXPECT_EQ(control.sendString("status avi7 mode").error, MediaError::NoSuchDevice);
    // Closing everything at once, playing or not.
    ASSERT_TRUE(control.sendString("open " + bell + " alias a").ok());
    ASSERT_TRUE(control.sendString("open " + bell + " alias b").ok());
    control.sendString("play a");
    EXPECT_TRUE(control.sendString("close all").ok());
    EXPECT_EQ(control.sendString("status a mode").error, MediaError::NoSuchDevice);
}

} // namespace
} // namespace sonorel::test

namespace sonorel::test {
namespace {

// The CD tray commands: the eject and close-tray requests of the drive named at
// construction. No machine here has a drive, so what is checked is that a missing
// or wrong device changes nothing, says so in the reply, and never blocks.
TEST_F(MediaControlTest, CdDoorWithoutADriveDoesNothing) {
    SystemMediaControl missing(makeSinkFactory(AudioMode::Fast, "test"), {}, path("no-such-drive"));
    EXPECT_EQ(missing.sendString("set CDAudio door open").error, MediaError::DeviceRefused);
    EXPECT_EQ(missing.sendString("set CDAudio door closed").error, MediaError::DeviceRefused);
    EXPECT_FALSE(QFile::exists(path("no-such-drive")));

    // Something that is no drive (a plain file, a pipe with nobody writing):
    // opened without blocking, refused by the request, left as it was.
    QFile plain(path("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("unchanged");
    plain.close();
    SystemMediaControl notADrive(makeSinkFactory(AudioMode::Fast, "test"), {}, path("plain"));
    EXPECT_EQ(notADrive.sendString("set cdaudio DOOR Open").error, MediaError::DeviceRefused);
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll(), "unchanged");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    SystemMediaControl pipe(makeSinkFactory(AudioMode::Fast, "test"), {}, path("pipe"));
    EXPECT_EQ(pipe.sendString("set CDAudio door closed").error, MediaError::DeviceRefused);
}

TEST_F(MediaControlTest, CdDoorCommandsOtherThanOpenAndClosedAreRefused) {
    SystemMediaControl control(makeSinkFactory(AudioMode::Fast, "test"), {}, path("none"));
    for (const char* command :
         {"set CDAudio door ajar", "set CDAudio door", "set CDAudio", "set waveaudio door open",
          "set CDAudio lid open", "set CDAudio door open now"})
        EXPECT_EQ(control.sendString(command).error, MediaError::BadArgument) << command;
    // The other commands are as they were.
    EXPECT_EQ(control.sendString("status nothing mode").error, MediaError::NoSuchDevice);
}

} // namespace
} // namespace sonorel::test
