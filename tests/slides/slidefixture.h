#pragma once
// The slide reader on doubles: a reader that lends two clock voices over
// scripted engines whose every spoken text is recorded, scripted dialogs, a
// recording shell, and the window's timers driven on a virtual clock.

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "slides/slidereadaloud.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/recordingmedia.h"
#include "support/scriptedengine.h"
#include "support/tempdir.h"
#include "virtualtimers.h"

#include <mutex>

namespace sonorel::test {

// Scripted voices that remember every text they were given to speak.
class RecordingFamily final : public platform::speech::EngineFamily {
public:
    explicit RecordingFamily(QStringList names) : m_inner(std::move(names)) {}
    QList<platform::speech::VoiceDescription> voices() const override { return m_inner.voices(); }
    platform::speech::UnitRange speedRange(int v) const override { return m_inner.speedRange(v); }
    platform::speech::UnitRange pitchRange(int v) const override { return m_inner.pitchRange(v); }
    std::shared_ptr<platform::speech::Synthesizer> synthesizer(int voice) override;

    QStringList spoken() const {
        std::lock_guard lock(m_log->mutex);
        return m_log->texts;
    }
    void clear() {
        std::lock_guard lock(m_log->mutex);
        m_log->texts.clear();
    }

    struct Log {
        mutable std::mutex mutex;
        QStringList texts;
    };

private:
    ScriptedFamily m_inner;
    std::shared_ptr<Log> m_log = std::make_shared<Log>();
};

// The reader as the slide reader sees it: its generation and its clock voices.
class TestReader final : public app::Reader {
public:
    TestReader(platform::speech::EngineFamily& gen4, platform::speech::EngineFamily& gen5,
               const platform::speech::SinkFactory& sinks);
    void readText(const QString&) override {}
    void putText(const QString&) override {}
    void speakPause() override {}
    void stop() override {}
    int playStatus() const override { return 3; }
    QString voiceEntry() const override { return {}; }
    int generation() const override { return gen; }
    platform::speech::TextToSpeech& clockVoice4() override { return voice4; }
    platform::speech::SpVoice& clockVoice5() override { return voice5; }
    // The slide reader records nothing: no voices to lend.
    app::RecordingVoices recordingVoices() override { return {}; }
    void startTimerSayTest() override {}
    void exitAll() override {}

    int gen = 5;
    platform::speech::TextToSpeech voice4;
    platform::speech::SpVoice voice5;
};

class SlideTest : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    RecordingFamily gen4{{"Mary", "Kal"}};
    RecordingFamily gen5{{"English", "German"}};
    FakeProgramFolder folder{path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    RecordingMediaControl media;
    platform::speech::AudioMode audio = platform::speech::AudioMode::Fast;
    app::Program program;
    std::unique_ptr<app::Services> services;
    std::unique_ptr<TestReader> reader;
    std::unique_ptr<slides::SlideReadAloud> w;
    VirtualTimers timers;

    struct Seen {
        qint64 at;
        QString progress, word;
        int status;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> ticks; // what the window showed after each timer tick

    void SetUp() override;
    // A fresh window over the current settings record (a new opening).
    void open();
    // A word file in the test's folder, written byte for byte.
    QString wordFile(const QString& name, const QByteArray& bytes);
    // The user picks `path` in the word-file dialog.
    void choose(const QString& path);
    // The words the clock voice of `generation` was given, once they all arrived.
    QStringList spokenBy(int generation, int expected);
};

void PrintTo(const SlideTest::Seen& s, std::ostream* os);

} // namespace sonorel::test
