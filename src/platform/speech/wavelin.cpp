#include "platform/speech/wavelin.h"

#include "platform/speech/wavrender.h"

#include <algorithm>
#include <QDebug>

namespace sonorel::platform::speech {

Wavelin::Wavelin(EngineFamily& engines, RegistryStore& registry, QObject* parent)
    : QObject(parent), m_engines(engines), m_registry(registry) {}

Wavelin::~Wavelin() {
    m_cancel = true;
    finishThread();
}

void Wavelin::finishThread() {
    if (m_thread.joinable())
        m_thread.join();
}

int Wavelin::voiceIndex(const QString& voiceName) const {
    const QList<VoiceDescription> voices = m_engines.voices();
    for (int i = 0; i < voices.size(); ++i)
        if (voices[i].name == voiceName)
            return i;
    return voices.isEmpty() ? -1 : 0;
}

void Wavelin::SpeakToFile(const QString& text, const QString& path, const QString& voiceName,
                          int speed, int pitch, int) {
    finishThread();
    m_cancel = false;
    m_busy = true;
    {
        std::lock_guard lock(m_errorMutex);
        m_lastError.clear();
    }
    m_registry.setDword(kWaveEndRoot, kWaveEndKey, kWaveEndValue, 2);

    RenderRequest request;
    request.text = text;
    request.path = path;
    QString setupError;
    try {
        const int voice = voiceIndex(voiceName);
        if (voice < 0)
            throw EngineError(EngineError::kEngineFailure, "no generation-4 voice installed");
        const UnitRange s = m_engines.speedRange(voice), p = m_engines.pitchRange(voice);
        request.synth = m_engines.synthesizer(voice);
        request.settings = {std::clamp(speed, s.min, s.max), std::clamp(pitch, p.min, p.max)};
    } catch (const EngineError& e) {
        setupError = QString::fromStdString(e.what());
    }

    m_thread = std::thread([this, request, setupError] {
        RenderResult result;
        result.error = setupError;
        if (setupError.isEmpty())
            result = renderToWav(request, m_cancel);
        if (!result.error.isEmpty())
            qWarning().noquote() << "wave output:" << result.error;
        {
            // Known before WaveEnd says 1, so whoever polls the value sees the outcome.
            std::lock_guard lock(m_errorMutex);
            m_lastError = result.error;
        }
        m_registry.setDword(kWaveEndRoot, kWaveEndKey, kWaveEndValue, 1);
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_busy = false;
                emit WaveStop();
            },
            Qt::QueuedConnection);
    });
}

void Wavelin::StopRecording() {
    m_cancel = true;
    finishThread();
}

QString Wavelin::lastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

void Wavelin::Release() {
    finishThread();
}

} // namespace sonorel::platform::speech
