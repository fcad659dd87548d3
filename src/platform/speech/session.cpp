#include "platform/speech/session.h"

#include "platform/speech/textchunker.h"

#include <QDebug>

namespace sonorel::platform::speech {

SpeechSession::SpeechSession(SinkFactory sinks, QObject* parent)
    : QObject(parent), m_sinks(std::move(sinks)) {}

SpeechSession::~SpeechSession() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_epoch;
    }
    m_jobsReady.notify_all();
    if (m_player)
        m_player->reset();
    if (m_worker.joinable())
        m_worker.join();
    m_player.reset(); // joins the playback thread before the listener goes away
}

void SpeechSession::setSynthesizer(std::shared_ptr<Synthesizer> synthesizer) {
    m_synth = std::move(synthesizer);
}

void SpeechSession::setSettings(const SynthSettings& settings) {
    std::lock_guard lock(m_mutex);
    m_settings = settings;
}

SynthSettings SpeechSession::settings() const {
    std::lock_guard lock(m_mutex);
    return m_settings;
}

void SpeechSession::setGains(float left, float right) {
    m_left = left;
    m_right = right;
    if (m_player)
        m_player->setGains(left, right);
}

void SpeechSession::ensureRunning() {
    if (m_player)
        return;
    m_player = std::make_unique<SpeechPlayer>(m_sinks, static_cast<PlayerListener&>(*this));
    m_player->setGains(m_left, m_right);
    m_worker = std::thread([this] { run(); });
}

int SpeechSession::speak(const QString& text) {
    if (!m_synth)
        return 0;
    ensureRunning();
    const int stream = m_nextStream++;
    ++m_speakSerial;
    m_pending.insert(stream);
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({stream, text, m_synth, m_epoch});
    }
    m_jobsReady.notify_all();
    return stream;
}

void SpeechSession::pause() {
    ensureRunning();
    m_player->pause();
}

void SpeechSession::resume() {
    if (m_player)
        m_player->resume();
}

bool SpeechSession::isPaused() const {
    return m_player && m_player->isPaused();
}

void SpeechSession::purge() {
    m_pending.clear();
    if (!m_player)
        return;
    std::optional<SpeechPlayer::Interrupted> interrupted;
    {
        // Under the job lock so the worker cannot slip an old chunk in after the
        // player was emptied. The player is reset before the epoch moves on, so
        // any event it reports in between carries the old epoch and is dropped.
        std::lock_guard lock(m_mutex);
        m_jobs.clear();
        interrupted = m_player->reset();
        ++m_epoch;
    }
    if (!interrupted)
        return;
    const std::uint64_t serial = m_speakSerial;
    QMetaObject::invokeMethod(
        this,
        [this, serial, stream = interrupted->stream, sample = interrupted->sample] {
            if (serial == m_speakSerial)
                emit streamEnded(stream, sample);
        },
        Qt::QueuedConnection);
}

bool SpeechSession::waitUntilDone(int timeoutMs) {
    return runEventsUntil([this] { return !busy(); }, timeoutMs);
}

QString SpeechSession::outputName() const {
    return m_player ? m_player->sinkName() : QString();
}

// Playback thread: post to the owner's thread, tagged with the epoch the audio
// belongs to.
void SpeechSession::onStart(int stream) {
    QMetaObject::invokeMethod(
        this,
        [this, stream, epoch = std::uint64_t(m_epoch)] {
            if (epoch == m_epoch)
                emit streamStarted(stream);
        },
        Qt::QueuedConnection);
}

void SpeechSession::onWord(int stream, std::int64_t sample, const PlayMark& mark) {
    QMetaObject::invokeMethod(
        this,
        [this, stream, sample, mark, epoch = std::uint64_t(m_epoch)] {
            if (epoch == m_epoch)
                emit wordReached(stream, sample, mark.position, mark.length);
        },
        Qt::QueuedConnection);
}

void SpeechSession::onEnd(int stream, std::int64_t sample) {
    QMetaObject::invokeMethod(
        this,
        [this, stream, sample, epoch = std::uint64_t(m_epoch)] {
            if (epoch != m_epoch)
                return;
            m_pending.remove(stream);
            emit streamEnded(stream, sample);
        },
        Qt::QueuedConnection);
}

void SpeechSession::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_jobsReady.wait(lock, [&] { return m_quit || !m_jobs.empty(); });
            if (m_quit)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        render(job);
    }
}

bool SpeechSession::pushIfCurrent(const Job& job, PlayItem item) {
    std::lock_guard lock(m_mutex);
    if (cancelled(job))
        return false;
    m_player->push(std::move(item));
    return true;
}

void SpeechSession::render(const Job& job) {
    PlayItem start;
    start.kind = PlayItem::Kind::StreamStart;
    start.stream = job.stream;
    if (!pushIfCurrent(job, std::move(start)))
        return;
    const std::int64_t lookahead = std::int64_t(job.synth->sampleRate()) * kLookaheadSeconds;
    TextChunker chunker(job.text);
    while (const auto chunk = chunker.next()) {
        m_player->waitForRoom(lookahead, [&] { return cancelled(job); });
        ChunkCollector out([&] { return cancelled(job); }, chunk->start);
        try {
            if (!job.synth->synthesize(QStringView(job.text).mid(chunk->start, chunk->length),
                                       settings(), out))
                return;
        } catch (const EngineError& e) {
            // The engine failed mid-text: end the stream where it is.
            qWarning().noquote() << "speech: engine failed:" << e.what();
            break;
        }
        PlayItem item;
        item.kind = PlayItem::Kind::Audio;
        item.stream = job.stream;
        item.sampleRate = job.synth->sampleRate();
        item.samples = std::move(out.samples);
        item.marks = std::move(out.words);
        if (!pushIfCurrent(job, std::move(item)))
            return;
    }
    PlayItem end;
    end.kind = PlayItem::Kind::StreamEnd;
    end.stream = job.stream;
    pushIfCurrent(job, std::move(end));
}

} // namespace sonorel::platform::speech
