// The speaking machinery with a scripted engine: event order and timing rules,
// pause, purge, flow control and failing sound outputs.

#include "platform/speech/session.h"
#include "platform/speech/textchunker.h"
#include "support/scriptedengine.h"
#include "support/spin.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

using namespace sonorel::platform::speech;
using sonorel::test::ScriptedSynthesizer;
using sonorel::test::spinFor;
using sonorel::test::spinUntil;

namespace {

struct Event {
    char kind; // 'S' start, 'W' word, 'E' end
    int stream;
    qint64 sample;
    QString word;
};

// Records what a session reports, with the words resolved against the texts.
class Recorder {
public:
    Recorder(SpeechSession& session, QStringList& texts) {
        QObject::connect(&session, &SpeechSession::streamStarted, [this](int s) {
            events.push_back({'S', s, 0, {}});
        });
        QObject::connect(&session, &SpeechSession::wordReached,
                         [this, &texts](int s, qint64 sample, int pos, int len) {
                             events.push_back({'W', s, sample, texts.value(s - 1).mid(pos, len)});
                         });
        QObject::connect(&session, &SpeechSession::streamEnded, [this](int s, qint64 sample) {
            events.push_back({'E', s, sample, {}});
        });
    }
    QString summary() const {
        QStringList parts;
        for (const Event& e : events)
            parts << (e.kind == 'W' ? e.word : QString("%1%2").arg(e.kind).arg(e.stream));
        return parts.join(' ');
    }
    int count(char kind) const {
        return int(std::count_if(events.begin(), events.end(),
                                 [kind](const Event& e) { return e.kind == kind; }));
    }
    std::vector<Event> events;
};

class Session : public ::testing::Test {
protected:
    void make(AudioMode mode) {
        session = std::make_unique<SpeechSession>(makeSinkFactory(mode, "test"));
        session->setSynthesizer(synth);
        session->setSettings({100, 120});
        recorder = std::make_unique<Recorder>(*session, texts);
    }
    int speak(const QString& text) {
        texts << text;
        return session->speak(text);
    }
    std::shared_ptr<ScriptedSynthesizer> synth = std::make_shared<ScriptedSynthesizer>();
    QStringList texts;
    std::unique_ptr<SpeechSession> session;
    std::unique_ptr<Recorder> recorder;
};

} // namespace

TEST_F(Session, StreamsReportStartWordsAndEndInOrder) {
    make(AudioMode::Fast);
    EXPECT_EQ(speak("Grüße aus Köln. 東京 is a city.\nThe end"), 1);
    EXPECT_EQ(speak("  second  "), 2);
    EXPECT_TRUE(session->busy());
    ASSERT_TRUE(session->waitUntilDone(5000));
    EXPECT_EQ(recorder->summary(), "S1 Grüße aus Köln. 東京 is a city. The end E1 S2 second E2");
    // Word stamps grow through the stream and the end stamp covers them all.
    qint64 last = -1;
    for (const Event& e : recorder->events) {
        if (e.stream != 1 || e.kind == 'S')
            continue;
        EXPECT_GT(e.sample, last) << e.word.toStdString();
        last = e.sample;
    }
}

TEST_F(Session, EmptyAndBlankTextsStillStartAndEnd) {
    make(AudioMode::Fast);
    speak("");
    speak(" \n\t ");
    ASSERT_TRUE(session->waitUntilDone(5000));
    EXPECT_EQ(recorder->summary(), "S1 E1 S2 E2");
}

TEST_F(Session, WordsArriveWhenTheirSamplesArePlayed) {
    make(AudioMode::Silent);
    // Ten five-letter words: 10 x (400 + 40) samples at 8 kHz = 550 ms.
    speak("alpha bravo charl delta echoo foxtr golfs hotel india julie");
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> arrival;
    QObject::connect(session.get(), &SpeechSession::wordReached,
                     [&] { arrival.push_back(clock.elapsed()); });
    ASSERT_TRUE(session->waitUntilDone(5000));
    ASSERT_EQ(arrival.size(), 10u);
    // Each word comes about 55 ms after the one before, not all at once.
    EXPECT_GE(arrival.back() - arrival.front(), 400);
    EXPECT_GE(clock.elapsed(), 500);
}

TEST_F(Session, PauseHoldsTheSpeechAndResumeGoesOn) {
    make(AudioMode::Silent);
    speak("one two three four five six seven eight nine ten");
    spinUntil([&] { return recorder->count('W') >= 2; });
    session->pause();
    spinFor(30);
    const int wordsAtPause = recorder->count('W');
    spinFor(250);
    EXPECT_EQ(recorder->count('W'), wordsAtPause);
    EXPECT_TRUE(session->isPaused());
    session->resume();
    ASSERT_TRUE(session->waitUntilDone(5000));
    EXPECT_EQ(recorder->count('W'), 10);
    EXPECT_EQ(recorder->count('E'), 1);
}

TEST_F(Session, PausedIdleSessionHoldsBackTheNextSpeech) {
    make(AudioMode::Fast);
    session->pause();
    speak("held back");
    spinFor(100);
    EXPECT_EQ(recorder->summary(), "");
    session->resume();
    ASSERT_TRUE(session->waitUntilDone(5000));
    EXPECT_EQ(recorder->summary(), "S1 held back E1");
}

TEST_F(Session, PurgeEndsThePlayingStreamOnceAndDropsTheRest) {
    make(AudioMode::Silent);
    speak("one two three four five six seven eight nine ten eleven twelve");
    speak("never heard");
    spinUntil([&] { return recorder->count('W') >= 2; });
    session->purge();
    EXPECT_FALSE(session->busy());
    spinFor(300);
    const QString after = recorder->summary();
    EXPECT_TRUE(after.startsWith("S1 one two")) << after.toStdString();
    EXPECT_TRUE(after.endsWith("E1")) << after.toStdString();
    EXPECT_EQ(recorder->count('E'), 1);
    EXPECT_FALSE(after.contains("twelve"));
    EXPECT_FALSE(after.contains("never"));
}

TEST_F(Session, PurgeOfPausedSpeechThenNewSpeechPlaysOnlyTheNew) {
    make(AudioMode::Silent);
    speak("one two three four five six seven eight");
    spinUntil([&] { return recorder->count('W') >= 1; });
    session->pause();
    session->resume();
    session->purge();
    // The stopped stream's end is superseded by the new reading.
    speak("fresh start");
    ASSERT_TRUE(session->waitUntilDone(5000));
    spinFor(50);
    const QString s = recorder->summary();
    EXPECT_TRUE(s.endsWith("S2 fresh start E2")) << s.toStdString();
    EXPECT_FALSE(s.contains("E1")) << s.toStdString();
}

TEST_F(Session, RapidSpeakAndPurgeCyclesLeaveNoStrayEvents) {
    make(AudioMode::Silent);
    for (int i = 0; i < 200; ++i) {
        speak(QString("cycle %1 with a few words in it").arg(i));
        if (i % 7 == 0)
            spinFor(1);
        session->purge();
    }
    spinFor(200);
    const size_t settled = recorder->events.size();
    spinFor(200);
    EXPECT_EQ(recorder->events.size(), settled);
    EXPECT_FALSE(session->busy());
    speak("last words");
    ASSERT_TRUE(session->waitUntilDone(5000));
    EXPECT_TRUE(recorder->summary().endsWith("last words E201"))
        << recorder->summary().toStdString();
}

TEST_F(Session, QueuedAudioStaysWithinTheLookahead) {
    make(AudioMode::Silent);
    QString longText;
    for (int i = 0; i < 4000; ++i)
        longText += "word ";
    speak(longText);
    spinFor(400);
    // About 4 s of audio ahead, never the whole 4000 words (about 17 minutes).
    EXPECT_LT(synth->calls.load(), 400);
    session->purge();
}

TEST_F(Session, EngineFailureEndsTheStreamWhereItIs) {
    make(AudioMode::Fast);
    speak("first sentence here. second one fails. third never.");
    synth->failNext = false;
    ASSERT_TRUE(session->waitUntilDone(5000));
    recorder->events.clear();
    synth->failNext = true;
    speak("fails at once. rest");
    ASSERT_TRUE(session->waitUntilDone(5000));
    EXPECT_EQ(recorder->summary(), "S2 E2");
}

namespace {
// A device that takes a few blocks and then fails, as when the server goes away.
class FailingSink final : public AudioSink {
public:
    explicit FailingSink(int goodWrites, bool openFails = false)
        : m_left(goodWrites), m_openFails(openFails) {}
    bool open(const AudioFormat&) override { return !m_openFails; }
    bool write(const std::int16_t*, std::size_t) override { return m_left-- > 0; }
    void drain() override {}
    void flush() override {}
    QString name() const override { return "failing"; }

private:
    int m_left;
    bool m_openFails;
};
} // namespace

TEST_F(Session, OutputThatFailsOrCannotOpenStillEndsTheReading) {
    for (bool openFails : {false, true}) {
        SpeechSession s([openFails] { return std::make_unique<FailingSink>(3, openFails); });
        s.setSynthesizer(synth);
        int words = 0, ends = 0;
        QObject::connect(&s, &SpeechSession::wordReached, [&] { ++words; });
        QObject::connect(&s, &SpeechSession::streamEnded, [&] { ++ends; });
        s.speak("one two three four five");
        ASSERT_TRUE(s.waitUntilDone(5000));
        EXPECT_EQ(words, 5);
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(s.outputName(), "silent");
    }
}

TEST(TextChunker, FirstClauseIsShortAndPiecesCoverTheText) {
    const QString text = "Grüße aus Köln, sagte er. 東京は大きい。Version 3.5 is out!  "
                         "A line wrapped\nby hand reads on\n\nbut a blank line ends it "
                         "A very long sentence without any stop " +
                         QString("word ").repeated(200);
    TextChunker chunker(text);
    QStringList pieces;
    int covered = 0;
    while (const auto c = chunker.next()) {
        EXPECT_EQ(c->start, covered);
        covered += c->length;
        EXPECT_LE(c->length, TextChunker::kMaxChunk);
        pieces << text.mid(c->start, c->length).trimmed();
    }
    EXPECT_TRUE(text.mid(covered).trimmed().isEmpty());
    ASSERT_GE(pieces.size(), 6);
    EXPECT_EQ(pieces[0], "Grüße aus Köln,");
    EXPECT_EQ(pieces[1], "sagte er.");
    EXPECT_EQ(pieces[2], "東京は大きい。");
    EXPECT_EQ(pieces[3], "Version 3.5 is out!");
    EXPECT_EQ(pieces[4], "A line wrapped\nby hand reads on");
    EXPECT_TRUE(pieces[5].startsWith("but a blank line ends it A very long"));
}
