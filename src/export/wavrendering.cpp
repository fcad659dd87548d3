#include "export/wavrendering.h"

#include "platform/files.h"
#include "shared/skiponerror.h"

namespace sonorel::exporting {

namespace speech = platform::speech;

void WavelinRendering::start(speech::Wavelin& control, platform::RegistryStore& registry,
                             const Job& job) {
    m_control = &control;
    m_registry = &registry;
    control.SpeakToFile(job.text, job.path, job.voiceName, job.speed, job.pitch, job.realTime);
}

std::optional<QString> WavelinRendering::poll() {
    if (!m_registry)
        return std::nullopt;
    const auto value =
        m_registry->dword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue);
    if (!value || *value != 1)
        return std::nullopt;
    m_registry->setDword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue, 3);
    // The control sets its error before the value says 1.
    return m_control->lastError();
}

bool WavelinRendering::complete() const {
    if (!m_registry)
        return false;
    return m_registry->dword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue) ==
           1u;
}

bool WavelinRendering::failed() const {
    return m_control && !m_control->lastError().isEmpty();
}

void WavelinRendering::stop() {
    if (m_control)
        m_control->StopRecording();
}

int VoiceFileRendering::start(speech::SpVoice& writer, const speech::SpVoice& reading,
                              const QString& path, const QString& text) {
    m_writer = &writer;
    skipOnError("voice", [&] { writer.setVoice(reading.Voice()); });
    writer.setVolume(reading.Volume());
    writer.setRate(reading.Rate());
    m_stream.Open(path, speech::SSFMCreateForWrite);
    writer.setAudioOutputStream(&m_stream);
    // The voice renders on its own thread; its end comes back as an event.
    m_streamNumber = writer.Speak(text, speech::SVSFlagsAsync);
    return m_streamNumber;
}

QString VoiceFileRendering::finish() {
    m_stream.Close();
    QString error;
    if (m_writer) {
        m_writer->setAudioOutputStream(nullptr);
        error = m_writer->lastFileError();
    }
    m_writer = nullptr;
    if (error.isEmpty() && !platform::fileExists(m_stream.path()))
        error = QStringLiteral("The voice wrote no sound.");
    return error;
}

void VoiceFileRendering::stop() {
    if (m_writer) {
        m_writer->Speak({}, speech::SVSFPurgeBeforeSpeak);
        m_writer->setAudioOutputStream(nullptr);
    }
    m_stream.Close();
    m_writer = nullptr;
}

} // namespace sonorel::exporting
