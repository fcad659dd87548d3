#pragma once
// The wave-output control: speaks a text with a generation-4 voice into a WAV
// file on a worker thread. The file exists and grows while it is written. When
// it is complete, the registry-store value "WaveEnd" becomes 1 and WaveStop is
// raised on the owner's thread, once per recording. While a recording runs the
// value is 2, which is how shutdown knows to stop it.

#include "platform/registrystore.h"
#include "platform/speech/synthesizer.h"

#include <atomic>
#include <mutex>
#include <QObject>
#include <thread>

namespace sonorel::platform::speech {

inline const QString kWaveEndKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\sonorelapp.exe");
inline const QString kWaveEndValue = QStringLiteral("WaveEnd");
inline constexpr RegistryRoot kWaveEndRoot = RegistryRoot::LocalMachine;

class Wavelin final : public QObject {
    Q_OBJECT
public:
    Wavelin(EngineFamily& engines, RegistryStore& registry, QObject* parent = nullptr);
    ~Wavelin() override;

    // Member 1. `voiceName` is a voice list text without its suffix; speed and
    // pitch are that voice's engine units. Returns at once. A recording asked for
    // while another runs waits for it to finish first.
    void SpeakToFile(const QString& text, const QString& path, const QString& voiceName, int speed,
                     int pitch, int flags);
    // Member 2: stop the recording that runs (what was written stays).
    void StopRecording();
    // Member 3: release the engine; the next recording loads it again.
    void Release();

    bool isRecording() const { return m_busy; }
    // Why the last recording failed; empty when it succeeded or still runs. Set
    // before WaveEnd becomes 1. A failed recording still ends with WaveEnd = 1
    // and WaveStop, so nobody waits forever.
    QString lastError() const;

signals:
    void WaveStop();

private:
    int voiceIndex(const QString& voiceName) const;
    void finishThread();

    EngineFamily& m_engines;
    RegistryStore& m_registry;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_busy{false};
    mutable std::mutex m_errorMutex;
    QString m_lastError;
};

} // namespace sonorel::platform::speech
