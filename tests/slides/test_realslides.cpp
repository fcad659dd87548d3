// The slide reader with real parts: words spoken by the real engines, and the
// window opened through the real reader's window list, speaking with the
// reader's own clock voices.

#include "../app/readerfixture.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "slidefixture.h"
#include "slides/worddisplay.h"
#include "support/spin.h"

#include <atomic>
#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace sonorel;
using namespace sonorel::test;

namespace {

// Takes samples at once and counts them.
class CountingSink final : public platform::speech::AudioSink {
public:
    explicit CountingSink(std::shared_ptr<std::atomic<std::int64_t>> frames)
        : m_frames(std::move(frames)) {}
    bool open(const platform::speech::AudioFormat& f) override {
        m_rate = f.sampleRate;
        return true;
    }
    bool write(const std::int16_t* samples, std::size_t frames) override {
        std::int64_t loud = 0;
        for (std::size_t i = 0; i < frames; ++i)
            loud += std::abs(samples[i]) > 500;
        *m_frames += loud;
        return true;
    }
    void drain() override {}
    void flush() override {}
    QString name() const override { return "counting"; }

private:
    std::shared_ptr<std::atomic<std::int64_t>> m_frames;
    int m_rate = 0;
};

class RealVoices : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    platform::speech::FliteFamily flite;
    platform::speech::EspeakFamily espeak;
    std::shared_ptr<std::atomic<std::int64_t>> loud =
        std::make_shared<std::atomic<std::int64_t>>(0);
    FakeProgramFolder folder{path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    platform::speech::EngineFamily& gen4 = flite;
    platform::speech::EngineFamily& gen5 = espeak;
    RecordingMediaControl media;
    app::Program program;
};

TEST_F(RealVoices, TwoWordsAreSpokenAloudByEachGenerationsRealVoice) {
    ASSERT_FALSE(flite.voices().isEmpty());
    ASSERT_FALSE(espeak.voices().isEmpty());
    app::Services services =
        app::servicesOf(*this, [frames = loud] { return std::make_unique<CountingSink>(frames); });
    TestReader reader(flite, espeak, services.sinks);
    program.win = WinSets::defaults(path(), path());
    QFile file(path("two.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("hello\r\nworld\r\n");
    file.close();

    for (int generation : {5, 4}) {
        SCOPED_TRACE(generation);
        reader.gen = generation;
        *loud = 0;
        slides::SlideReadAloud w(services, program, reader);
        VirtualTimers timers;
        timers.add(w.seriation, [&] { w.seriation_Timer(); });
        dialogs.answer(
            std::optional<platform::FileChoice>(platform::FileChoice{file.fileName(), 1}));
        w.Command5_Click();
        int started = 0, ended = 0;
        QList<std::pair<int, int>> words; // generation 5 reports each word
        QObject::connect(&reader.voice5, &platform::speech::SpVoice::Word,
                         [&](int, qint64, int position, int length) {
                             words << std::pair{position, length};
                         });
        QObject::connect(&reader.voice5, &platform::speech::SpVoice::StartStream,
                         [&] { ++started; });
        QObject::connect(&reader.voice5, &platform::speech::SpVoice::EndStream, [&] { ++ended; });
        QObject::connect(&reader.voice4, &platform::speech::TextToSpeech::SpeakingStarted,
                         [&] { ++started; });
        QObject::connect(&reader.voice4, &platform::speech::TextToSpeech::SpeakingDone,
                         [&] { ++ended; });
        timers.act([&] { w.Command2_Click(); });
        timers.advanceTo(2100);
        EXPECT_EQ(w.Label1->text(), "world");
        // Paused, so no real tick ends the run while the voice finishes.
        timers.act([&] { w.Command4_Click(); });
        ASSERT_TRUE(spinUntil([&] { return ended == 2; }, 30000));
        EXPECT_EQ(started, 2);
        if (generation == 5) {
            EXPECT_EQ(words, (QList<std::pair<int, int>>{{0, 5}, {0, 5}}));
        }
        // Two short words are well over a tenth of a second of sound at 16 kHz.
        EXPECT_GT(loud->load(), 1600);
        w.Command3_Click();
        QObject::disconnect(&reader.voice5, nullptr, nullptr, nullptr);
        QObject::disconnect(&reader.voice4, nullptr, nullptr, nullptr);
    }
}

using ReaderSlides = ReaderTest;

TEST_F(ReaderSlides, TheWindowListOpensTheSlideReaderOnTheReadersClockVoices) {
    ASSERT_TRUE(start());
    ASSERT_EQ(program.tts.EngineGeneration, 4);
    ASSERT_TRUE(windows.show(app::WindowId::Slides));
    auto* slides = qobject_cast<slides::SlideReadAloud*>(windows.find(app::WindowId::Slides));
    ASSERT_TRUE(slides);
    EXPECT_EQ(slides->windowTitle(), "Slide read aloud words");
    EXPECT_TRUE(slides->isVisible());
    // The default word font is large type.
    EXPECT_GE(slides->Label1->font().pointSizeF(), 24);

    QFile file(path("w.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("first\nsecond\n");
    file.close();
    slides->Text1->setText(file.fileName());
    const int before = gen4.synth->calls;
    slides->Command2_Click();
    slides->seriation_Timer();
    EXPECT_EQ(slides->Label1->text(), "first");
    EXPECT_TRUE(spinUntil([&] { return gen4.synth->calls > before; }));
    slides->Command1_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(windows.isOpen(app::WindowId::Slides)) << "closing unloads it";
}

} // namespace
