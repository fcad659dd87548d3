#include "slidefixture.h"

#include "support/spin.h"

#include "slides/worddisplay.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTextStream>

namespace sonorel::test {

namespace {

// Passes every call to a scripted voice and writes down the text first.
class RecordingSynthesizer final : public platform::speech::Synthesizer {
public:
    RecordingSynthesizer(std::shared_ptr<platform::speech::Synthesizer> inner,
                         std::shared_ptr<RecordingFamily::Log> log)
        : m_inner(std::move(inner)), m_log(std::move(log)) {}
    int sampleRate() const override { return m_inner->sampleRate(); }
    bool synthesize(QStringView text, const platform::speech::SynthSettings& settings,
                    platform::speech::ChunkOutput& out) override {
        {
            std::lock_guard lock(m_log->mutex);
            m_log->texts << text.toString();
        }
        return m_inner->synthesize(text, settings, out);
    }

private:
    std::shared_ptr<platform::speech::Synthesizer> m_inner;
    std::shared_ptr<RecordingFamily::Log> m_log;
};

} // namespace

std::shared_ptr<platform::speech::Synthesizer> RecordingFamily::synthesizer(int voice) {
    return std::make_shared<RecordingSynthesizer>(m_inner.synthesizer(voice), m_log);
}

TestReader::TestReader(platform::speech::EngineFamily& gen4, platform::speech::EngineFamily& gen5,
                       const platform::speech::SinkFactory& sinks)
    : voice4(gen4, sinks), voice5(gen5, sinks) {
    voice4.Select(1);
    voice5.setVoice(voice5.GetVoices().value(0));
}

void SlideTest::SetUp() {
    TempDirTest::SetUp();
    program.win = WinSets::defaults(path(), path());
    program.win.SlideFontSize = "36";
    program.win.SlideBackColor = 0xFFFFFF;
    program.win.SlideForeColor = 0x000000;
    services = std::make_unique<app::Services>(
        app::servicesOf(*this, platform::speech::makeSinkFactory(audio, "test")));
    reader = std::make_unique<TestReader>(gen4, gen5, services->sinks);
    open();
}

void SlideTest::open() {
    w.reset();
    w = std::make_unique<slides::SlideReadAloud>(*services, program, *reader);
    timers = VirtualTimers();
    ticks.clear();
    const auto watch = [this](void (slides::SlideReadAloud::*tick)()) {
        return [this, tick] {
            (w.get()->*tick)();
            ticks.push_back({timers.now(), w->Label2->text(), w->Label1->text(), w->SlideStatus});
        };
    };
    timers.add(w->seriation, watch(&slides::SlideReadAloud::seriation_Timer));
    timers.add(w->random, watch(&slides::SlideReadAloud::random_Timer));
}

QString SlideTest::wordFile(const QString& name, const QByteArray& bytes) {
    QFile f(path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

void SlideTest::choose(const QString& file) {
    dialogs.answer(std::optional<platform::FileChoice>(platform::FileChoice{file, 1}));
    w->Command5_Click();
}

QStringList SlideTest::spokenBy(int generation, int expected) {
    RecordingFamily& family = generation == 4 ? gen4 : gen5;
    spinUntil([&] { return family.spoken().size() >= expected; }, 5000);
    return family.spoken();
}

void PrintTo(const SlideTest::Seen& s, std::ostream* os) {
    *os << "{" << s.at << " ms, \"" << s.progress.toStdString() << "\", \"" << s.word.toStdString()
        << "\", status " << s.status << "}";
}

} // namespace sonorel::test
