#include "platform/speech/sapi5.h"

#include <algorithm>
#include <cmath>
#include <QCoreApplication>
#include <QDebug>

namespace sonorel::platform::speech {

bool SpFileStream::Open(const QString& path, int mode) {
    if (mode != SSFMCreateForWrite || path.isEmpty())
        return false;
    m_path = path;
    m_open = true;
    return true;
}

void SpFileStream::Close() {
    m_open = false;
}

SpVoice::SpVoice(EngineFamily& engines, SinkFactory sinks, QObject* parent)
    : QObject(parent), m_engines(engines), m_session(std::move(sinks)) {
    connect(&m_session, &SpeechSession::streamStarted, this,
            [this](int stream) { emit StartStream(stream, 0); });
    connect(&m_session, &SpeechSession::wordReached, this,
            [this](int stream, qint64 sample, int position, int length) {
                emit Word(stream, 2 * sample, position, length);
            });
    connect(&m_session, &SpeechSession::streamEnded, this,
            [this](int stream, qint64 sample) { emit EndStream(stream, 2 * sample); });
    // A new voice object speaks with the engine's default voice, as it would.
    const QList<SpObjectToken> all = GetVoices();
    const int preferred = m_engines.defaultVoice();
    for (const SpObjectToken& token : all) {
        if (token.index != preferred)
            continue;
        try {
            setVoice(token);
        } catch (const EngineError& e) {
            qWarning().noquote() << "speech: default voice unavailable:" << e.what();
        }
    }
}

SpVoice::~SpVoice() {
    stopFileRendering();
}

QList<SpObjectToken> SpVoice::GetVoices(const QString&, const QString&) const {
    QList<SpObjectToken> tokens;
    const QList<VoiceDescription> voices = m_engines.voices();
    for (int i = 0; i < voices.size(); ++i)
        tokens.push_back({i, voices[i].name});
    return tokens;
}

void SpVoice::setVoice(const SpObjectToken& token) {
    if (token.index < 0 || token.index >= m_engines.voices().size())
        throw EngineError(EngineError::kInvalidArgument,
                          "Invalid procedure call or argument: no voice " +
                              std::to_string(token.index));
    m_session.setSynthesizer(m_engines.synthesizer(token.index));
    m_voice = {token.index, m_engines.voices().at(token.index).name};
    applySettings();
}

void SpVoice::setRate(int rate) {
    m_rate = std::clamp(rate, -10, 10);
    applySettings();
}

void SpVoice::setVolume(int volume) {
    m_volume = std::clamp(volume, 0, 100);
    m_session.setGains(m_volume / 100.0f, m_volume / 100.0f);
}

int speedForRate(const UnitRange& speed, int rate) {
    // Each rate step is about 12 % faster: -10 is a third of the normal speed and
    // 10 three times it, within what the engine can do.
    const double wpm = speed.normal * std::pow(3.0, std::clamp(rate, -10, 10) / 10.0);
    return std::clamp(int(std::lround(wpm)), speed.min, speed.max);
}

void SpVoice::applySettings() {
    if (m_voice.index < 0)
        return;
    m_session.setSettings({speedForRate(m_engines.speedRange(m_voice.index), m_rate),
                           m_engines.pitchRange(m_voice.index).normal});
}

int SpVoice::Speak(const QString& text, int flags) {
    if (flags & SVSFPurgeBeforeSpeak) {
        stopFileRendering();
        m_session.purge();
    }
    if (m_voice.index < 0)
        return 0;
    const bool toFile = m_stream && m_stream->isOpen();
    // An empty text with the purge flag is a Stop; any other empty text is a
    // reading of nothing, which starts and ends like every reading.
    if (text.isEmpty() && (toFile || (flags & SVSFPurgeBeforeSpeak)))
        return 0;
    int stream = 0;
    if (toFile) {
        stream = m_session.takeStreamNumber();
        speakToFile(stream, text);
    } else {
        stream = m_session.speak(text);
    }
    if (!(flags & SVSFlagsAsync))
        WaitUntilDone(-1);
    return stream;
}

void SpVoice::Pause() {
    m_session.pause();
}

void SpVoice::Resume() {
    m_session.resume();
}

bool SpVoice::WaitUntilDone(int timeoutMs) {
    return runEventsUntil([this] { return !m_filePending && !m_session.busy(); }, timeoutMs);
}

void SpVoice::stopFileRendering() {
    if (!m_fileThread.joinable())
        return;
    m_fileCancel = true;
    m_fileThread.join();
    m_fileCancel = false;
}

void SpVoice::speakToFile(int stream, const QString& text) {
    // One file at a time per voice: a new one waits for the previous to finish.
    if (m_fileThread.joinable())
        m_fileThread.join();
    RenderRequest request;
    request.text = text;
    request.path = m_stream->path();
    request.synth = m_session.synthesizer();
    request.settings = m_session.settings();
    request.gain = m_volume / 100.0f;
    m_filePending = true;
    m_fileError.clear();
    QMetaObject::invokeMethod(
        this, [this, stream] { emit StartStream(stream, 0); }, Qt::QueuedConnection);
    m_fileThread = std::thread([this, stream, request] {
        const RenderResult result = renderToWav(
            request, m_fileCancel, [this, stream](int position, int length, std::int64_t sample) {
                QMetaObject::invokeMethod(
                    this,
                    [this, stream, position, length, sample] {
                        emit Word(stream, 2 * sample, position, length);
                    },
                    Qt::QueuedConnection);
            });
        QMetaObject::invokeMethod(
            this,
            [this, stream, result] {
                m_fileError = result.error;
                m_filePending = false;
                if (!result.error.isEmpty())
                    qWarning().noquote() << "speech:" << result.error;
                emit EndStream(stream, 2 * result.frames);
            },
            Qt::QueuedConnection);
    });
}

} // namespace sonorel::platform::speech
