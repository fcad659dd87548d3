#include "platform/mediacontrol.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <fluidsynth.h>
#include <linux/cdrom.h>
#include <mutex>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sndfile.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sonorel::platform {

using speech::AudioFormat;
using speech::AudioSink;

namespace {

// --- the sources of samples

class Source {
public:
    virtual ~Source() = default;
    virtual AudioFormat format() const = 0;
    virtual std::int64_t lengthFrames() const = 0;
    // Interleaved 16-bit frames from the current place; fewer at the end.
    virtual std::size_t read(std::int16_t* out, std::size_t frames) = 0;
    virtual void seekFrame(std::int64_t frame) = 0;
};

// Any file libsndfile reads (WAV first of all), decoded as it plays. More than two
// channels play as the first two.
class SoundFileSource final : public Source {
public:
    static std::unique_ptr<SoundFileSource> open(const QString& path) {
        SF_INFO info{};
        SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        if (!file)
            return nullptr;
        if (info.channels < 1 || info.samplerate < 1) {
            sf_close(file);
            return nullptr;
        }
        return std::unique_ptr<SoundFileSource>(new SoundFileSource(file, info));
    }
    ~SoundFileSource() override { sf_close(m_file); }

    AudioFormat format() const override {
        return {m_info.samplerate, std::min(m_info.channels, 2)};
    }
    std::int64_t lengthFrames() const override { return m_info.frames; }
    std::size_t read(std::int16_t* out, std::size_t frames) override {
        if (m_info.channels <= 2)
            return std::size_t(
                std::max<sf_count_t>(0, sf_readf_short(m_file, out, sf_count_t(frames))));
        m_wide.resize(frames * std::size_t(m_info.channels));
        const sf_count_t got =
            std::max<sf_count_t>(0, sf_readf_short(m_file, m_wide.data(), sf_count_t(frames)));
        for (sf_count_t i = 0; i < got; ++i) {
            out[2 * i] = m_wide[std::size_t(i * m_info.channels)];
            out[2 * i + 1] = m_wide[std::size_t(i * m_info.channels + 1)];
        }
        return std::size_t(got);
    }
    void seekFrame(std::int64_t frame) override { sf_seek(m_file, frame, SEEK_SET); }

private:
    SoundFileSource(SNDFILE* file, SF_INFO info) : m_file(file), m_info(info) {}
    SNDFILE* m_file;
    SF_INFO m_info;
    std::vector<std::int16_t> m_wide;
};

// The timing of a Standard MIDI File: where each tick lies in milliseconds,
// following its tempo changes. FluidSynth plays the notes; this answers length
// and position in time, which its player gives only in ticks.
class MidiTiming {
public:
    bool parse(const QByteArray& bytes) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
        const std::size_t n = std::size_t(bytes.size());
        if (n < 14 || std::memcmp(p, "MThd", 4) != 0)
            return false;
        const std::uint32_t headerLength = be32(p + 4);
        const int tracks = be16(p + 10);
        const int division = be16(p + 12);
        if (division & 0x8000) { // SMPTE: frames per second x ticks per frame
            const int fps = -std::int8_t(division >> 8);
            const int perFrame = division & 0xFF;
            if (fps <= 0 || perFrame <= 0)
                return false;
            m_msPerTickFixed = 1000.0 / (fps * perFrame);
        } else {
            if (division == 0)
                return false;
            m_ticksPerQuarter = division;
        }
        std::size_t at = 8 + std::size_t(headerLength);
        for (int t = 0; t < tracks && at + 8 <= n; ++t) {
            const std::uint32_t length = be32(p + at + 4);
            const bool isTrack = std::memcmp(p + at, "MTrk", 4) == 0;
            const std::size_t begin = at + 8;
            const std::size_t end = std::min(n, begin + length);
            if (isTrack)
                readTrack(p, begin, end);
            at = begin + length;
        }
        std::sort(m_tempi.begin(), m_tempi.end());
        return true;
    }
    double msAt(std::int64_t tick) const {
        if (m_msPerTickFixed > 0)
            return double(tick) * m_msPerTickFixed;
        double ms = 0;
        std::int64_t last = 0;
        double usPerQuarter = 500000; // 120 beats a minute until told otherwise
        for (const auto& [at, tempo] : m_tempi) {
            if (at >= tick)
                break;
            ms += double(at - last) * usPerQuarter / 1000.0 / m_ticksPerQuarter;
            last = at;
            usPerQuarter = tempo;
        }
        return ms + double(tick - last) * usPerQuarter / 1000.0 / m_ticksPerQuarter;
    }
    std::int64_t tickAt(double ms) const {
        // msAt grows with the tick: halve the range.
        std::int64_t low = 0, high = m_endTick;
        while (low < high) {
            const std::int64_t mid = (low + high) / 2;
            if (msAt(mid) < ms)
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    }
    double lengthMs() const { return msAt(m_endTick); }

private:
    static std::uint32_t be32(const unsigned char* p) {
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
               p[3];
    }
    static int be16(const unsigned char* p) { return p[0] << 8 | p[1]; }

    void readTrack(const unsigned char* p, std::size_t at, std::size_t end) {
        std::int64_t tick = 0;
        unsigned char status = 0;
        const auto number = [&]() -> std::uint32_t { // a variable-length quantity
            std::uint32_t v = 0;
            for (int i = 0; i < 4 && at < end; ++i) {
                const unsigned char b = p[at++];
                v = v << 7 | (b & 0x7F);
                if (!(b & 0x80))
                    break;
            }
            return v;
        };
        while (at < end) {
            tick += number();
            if (at >= end)
                break;
            unsigned char b = p[at];
            if (b & 0x80) {
                status = b;
                ++at;
            } else if (!status) {
                return; // data without a status: not a track we can read
            }
            if (status == 0xFF) {
                if (at >= end)
                    break;
                const unsigned char type = p[at++];
                const std::uint32_t length = number();
                if (type == 0x51 && length == 3 && at + 3 <= end)
                    m_tempi.emplace_back(tick, double(p[at] << 16 | p[at + 1] << 8 | p[at + 2]));
                at += length;
                status = 0; // meta events cancel running status
            } else if (status == 0xF0 || status == 0xF7) {
                at += number();
                status = 0;
            } else {
                const int high = status & 0xF0;
                at += (high == 0xC0 || high == 0xD0) ? 1 : 2;
            }
            m_endTick = std::max(m_endTick, tick);
        }
    }

    int m_ticksPerQuarter = 0;
    double m_msPerTickFixed = 0;
    std::vector<std::pair<std::int64_t, double>> m_tempi; // tick, microseconds per quarter
    std::int64_t m_endTick = 0;
};

// A MIDI file rendered by FluidSynth, 44.1 kHz stereo. The player follows the
// samples rendered, not the wall clock, so position and pace come from the output.
class MidiSource final : public Source {
public:
    static constexpr int kRate = 44100;

    static std::unique_ptr<MidiSource> open(const QString& path, const QString& soundFont) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return nullptr;
        std::unique_ptr<MidiSource> source(new MidiSource);
        source->m_bytes = file.readAll();
        if (!source->m_timing.parse(source->m_bytes) || !source->start(soundFont))
            return nullptr;
        return source;
    }
    ~MidiSource() override {
        if (m_player) {
            fluid_player_stop(m_player);
            delete_fluid_player(m_player);
        }
        if (m_synth)
            delete_fluid_synth(m_synth);
        if (m_settings)
            delete_fluid_settings(m_settings);
    }

    AudioFormat format() const override { return {kRate, 2}; }
    std::int64_t lengthFrames() const override {
        return std::int64_t(m_timing.lengthMs() * kRate / 1000.0);
    }
    std::size_t read(std::int16_t* out, std::size_t frames) override {
        if (fluid_player_get_status(m_player) == FLUID_PLAYER_DONE)
            return 0;
        fluid_synth_write_s16(m_synth, int(frames), out, 0, 2, out, 1, 2);
        return frames;
    }
    void seekFrame(std::int64_t frame) override {
        fluid_synth_all_sounds_off(m_synth, -1);
        const int tick = int(m_timing.tickAt(double(frame) * 1000.0 / kRate));
        if (fluid_player_get_status(m_player) == FLUID_PLAYER_DONE) {
            fluid_player_seek(m_player, tick);
            fluid_player_play(m_player);
        } else {
            fluid_player_seek(m_player, tick);
        }
    }

private:
    MidiSource() = default;
    bool start(const QString& soundFont) {
        m_settings = new_fluid_settings();
        fluid_settings_setnum(m_settings, "synth.sample-rate", kRate);
        fluid_settings_setstr(m_settings, "player.timing-source", "sample");
        fluid_settings_setint(m_settings, "synth.lock-memory", 0);
        // FluidSynth's default gain (0.2) leaves one note near -32 dB: too quiet
        // for a bell beside speech; 0.5 still leaves room for chords.
        fluid_settings_setnum(m_settings, "synth.gain", 0.5);
        m_synth = new_fluid_synth(m_settings);
        if (!m_synth || fluid_synth_sfload(m_synth, QFile::encodeName(soundFont).constData(), 1) ==
                            FLUID_FAILED)
            return false;
        m_player = new_fluid_player(m_synth);
        if (!m_player || fluid_player_add_mem(m_player, m_bytes.constData(),
                                              std::size_t(m_bytes.size())) != FLUID_OK)
            return false;
        return fluid_player_play(m_player) == FLUID_OK;
    }

    QByteArray m_bytes;
    MidiTiming m_timing;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_player_t* m_player = nullptr;
};

// FluidSynth's own messages (a missing preset, a busy sound card) would go to the
// terminal; only its errors are worth the log.
void quietFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

// Splits a command into words; a double-quoted part is one word without its quotes.
QStringList commandWords(const QString& command) {
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    for (const QChar c : command) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

bool is(const QString& word, const char* keyword) {
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

} // namespace

// --- one open file and the thread that plays it

class SystemMediaControl::Device {
public:
    Device(std::unique_ptr<Source> source, speech::SinkFactory sinks)
        : m_source(std::move(source)), m_sinks(std::move(sinks)), m_format(m_source->format()),
          m_length(m_source->lengthFrames()) {}
    ~Device() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
            m_state = State::Stopped;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void play(bool wait) {
        std::unique_lock lock(m_mutex);
        if (m_position >= m_length && m_length > 0) {
            m_source->seekFrame(0);
            m_position = 0;
        }
        m_state = State::Playing;
        ++m_playSerial;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_all();
        if (wait)
            m_wake.wait(lock, [&] { return m_state != State::Playing; });
    }
    void pause() {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Playing)
            m_state = State::Paused;
        m_wake.notify_all();
    }
    void resume() {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Paused)
            m_state = State::Playing;
        m_wake.notify_all();
    }
    void stop() {
        std::lock_guard lock(m_mutex);
        m_state = State::Stopped;
        m_wake.notify_all();
    }
    void seekMs(double ms) {
        std::lock_guard lock(m_mutex);
        const std::int64_t frame =
            std::clamp<std::int64_t>(std::int64_t(ms * m_format.sampleRate / 1000.0), 0, m_length);
        m_source->seekFrame(frame);
        m_position = frame;
        // A seek stops playing, as the command's device does.
        m_state = State::Stopped;
        m_wake.notify_all();
    }
    std::int64_t lengthMs() const { return m_length * 1000 / m_format.sampleRate; }
    std::int64_t positionMs() const {
        std::lock_guard lock(m_mutex);
        return m_position * 1000 / m_format.sampleRate;
    }
    QString mode() const {
        std::lock_guard lock(m_mutex);
        switch (m_state) {
        case State::Playing:
            return QStringLiteral("playing");
        case State::Paused:
            return QStringLiteral("paused");
        case State::Stopped:
            break;
        }
        return QStringLiteral("stopped");
    }

private:
    enum class State { Stopped, Playing, Paused };

    void run() {
        const std::size_t block = std::size_t(std::max(1, m_format.sampleRate / 100)); // 10 ms
        std::vector<std::int16_t> samples(block * std::size_t(m_format.channels));
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            if (m_state != State::Playing) {
                if (m_sink && m_sinkBusy) {
                    // Stopped or paused: what the output still holds is dropped.
                    lock.unlock();
                    if (m_state == State::Paused)
                        m_sink->pause();
                    m_sink->flush();
                    lock.lock();
                    m_sinkBusy = false;
                }
                m_wake.wait(lock, [&] { return m_quit || m_state == State::Playing; });
                continue;
            }
            const std::size_t got = m_source->read(samples.data(), block);
            const std::uint64_t serial = m_playSerial;
            if (got == 0) {
                lock.unlock();
                if (m_sink)
                    m_sink->drain();
                lock.lock();
                if (serial == m_playSerial && m_state == State::Playing) {
                    m_position = m_length;
                    m_state = State::Stopped;
                    m_sinkBusy = false;
                    m_wake.notify_all();
                }
                continue;
            }
            lock.unlock();
            const bool written = writeOut(samples.data(), got);
            lock.lock();
            if (!written) {
                // The output went away: the file goes on silently in real time.
                m_sink = std::make_unique<speech::SilentSink>();
                m_sink->open(m_format);
            }
            m_sinkBusy = true;
            m_position = std::min(m_length, m_position + std::int64_t(got));
        }
        if (m_sink)
            m_sink->flush();
    }
    // Playback thread only.
    bool writeOut(const std::int16_t* samples, std::size_t frames) {
        if (!m_sink) {
            m_sink = m_sinks ? m_sinks() : nullptr;
            if (!m_sink || !m_sink->open(m_format)) {
                m_sink = std::make_unique<speech::SilentSink>();
                m_sink->open(m_format);
            }
        }
        return m_sink->write(samples, frames);
    }

    std::unique_ptr<Source> m_source; // used under m_mutex
    speech::SinkFactory m_sinks;
    const AudioFormat m_format;
    const std::int64_t m_length;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    State m_state = State::Stopped;
    bool m_quit = false;
    std::uint64_t m_playSerial = 0;
    std::int64_t m_position = 0; // frames handed to the output
    std::unique_ptr<AudioSink> m_sink;
    bool m_sinkBusy = false;
    std::thread m_thread;
};

SystemMediaControl::SystemMediaControl(speech::SinkFactory sinks, QString soundFont,
                                       QString cdDrive)
    : m_sinks(std::move(sinks)), m_soundFont(std::move(soundFont)), m_cdDrive(std::move(cdDrive)) {}

SystemMediaControl::~SystemMediaControl() = default;

QString SystemMediaControl::defaultSoundFont() {
    // Debian's alternative first, then the fonts its packages install.
    for (const char* path :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"}) {
        if (QFileInfo(QString::fromLatin1(path)).isFile())
            return QString::fromLatin1(path);
    }
    return {};
}

MediaReply SystemMediaControl::sendString(const QString& command) {
    const QStringList words = commandWords(command);
    if (words.isEmpty())
        return {MediaError::UnknownCommand, {}};
    const QString& verb = words[0];
    if (is(verb, "open"))
        return open(words);
    if (is(verb, "set"))
        return cdDoor(words);
    if (words.size() < 2)
        return {MediaError::MissingArgument, {}};
    const QString alias = words[1].toLower();
    if (is(verb, "close")) {
        if (alias == QLatin1String("all")) {
            m_devices.clear();
            return {};
        }
        return m_devices.erase(alias) ? MediaReply{} : MediaReply{MediaError::NoSuchDevice, {}};
    }
    const auto found = m_devices.find(alias);
    if (found == m_devices.end())
        return {MediaError::NoSuchDevice, {}};
    Device& device = *found->second;
    if (is(verb, "play")) {
        device.play(words.size() > 2 && is(words.last(), "wait"));
        return {};
    }
    if (is(verb, "pause")) {
        device.pause();
        return {};
    }
    if (is(verb, "resume")) {
        device.resume();
        return {};
    }
    if (is(verb, "stop")) {
        device.stop();
        return {};
    }
    if (is(verb, "seek")) {
        if (words.size() < 4 || !is(words[2], "to"))
            return {MediaError::MissingArgument, {}};
        if (is(words[3], "start")) {
            device.seekMs(0);
            return {};
        }
        if (is(words[3], "end")) {
            device.seekMs(double(device.lengthMs()));
            return {};
        }
        bool ok = false;
        const double ms = words[3].toDouble(&ok);
        if (!ok)
            return {MediaError::BadArgument, {}};
        device.seekMs(ms);
        return {};
    }
    if (is(verb, "status")) {
        if (words.size() < 3)
            return {MediaError::MissingArgument, {}};
        if (is(words[2], "length"))
            return {MediaError::None, QString::number(device.lengthMs())};
        if (is(words[2], "position"))
            return {MediaError::None, QString::number(device.positionMs())};
        if (is(words[2], "mode"))
            return {MediaError::None, device.mode()};
        return {MediaError::BadArgument, {}};
    }
    return {MediaError::UnknownCommand, {}};
}

MediaReply SystemMediaControl::cdDoor(const QStringList& words) {
    if (words.size() != 4 || !is(words[1], "cdaudio") || !is(words[2], "door"))
        return {MediaError::BadArgument, {}};
    unsigned long request = 0;
    if (is(words[3], "open"))
        request = CDROMEJECT;
    else if (is(words[3], "closed"))
        request = CDROMCLOSETRAY;
    else
        return {MediaError::BadArgument, {}};
    // Without blocking: a drive with no disc in it opens all the same.
    const int fd =
        ::open(QFile::encodeName(m_cdDrive).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {MediaError::DeviceRefused, {}};
    const int moved = ::ioctl(fd, request, 0);
    ::close(fd);
    return moved == 0 ? MediaReply{} : MediaReply{MediaError::DeviceRefused, {}};
}

MediaReply SystemMediaControl::open(const QStringList& words) {
    if (words.size() < 2)
        return {MediaError::MissingArgument, {}};
    const QString path = words[1];
    QString alias = path, type;
    for (int i = 2; i < words.size(); ++i) {
        if (is(words[i], "alias") && i + 1 < words.size())
            alias = words[++i];
        else if (is(words[i], "type") && i + 1 < words.size())
            type = words[++i].toLower();
        else if (!is(words[i], "wait") && !is(words[i], "shareable"))
            return {MediaError::BadArgument, {}};
    }
    alias = alias.toLower();
    if (m_devices.count(alias))
        return {MediaError::DuplicateAlias, {}};
    if (type.isEmpty()) { // no type given: chosen by the file's extension
        const QString extension = QFileInfo(path).suffix().toLower();
        type = extension == QLatin1String("mid") || extension == QLatin1String("midi")
                   ? QStringLiteral("sequencer")
                   : QStringLiteral("waveaudio");
    }
    std::unique_ptr<Source> source;
    if (type == QLatin1String("waveaudio")) {
        source = SoundFileSource::open(path);
    } else if (type == QLatin1String("sequencer")) {
        quietFluidSynth();
        const QString font = m_soundFont.isEmpty() ? defaultSoundFont() : m_soundFont;
        if (font.isEmpty())
            return {MediaError::NoSoundFont, {}};
        source = MidiSource::open(path, font);
    } else {
        return {MediaError::UnknownType, {}}; // video among them: nothing here shows it
    }
    if (!source)
        return {MediaError::CannotOpenFile, {}};
    m_devices.emplace(alias, std::make_unique<Device>(std::move(source), m_sinks));
    return {};
}

} // namespace sonorel::platform
