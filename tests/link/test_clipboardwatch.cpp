// The clipboard watch over the application's real clipboard (in-process under
// the offscreen platform), with a reader double that records what it was asked.

#include "app/reader.h"
#include "link/clipboardwatch.h"
#include "support/spin.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <stdexcept>

using namespace sonorel;

namespace {

class RecordingReader final : public app::Reader {
public:
    QStringList calls;
    bool failPutText = false;

    void readText(const QString& text) override { calls << "read:" + text; }
    void putText(const QString& text) override {
        if (failPutText)
            throw std::runtime_error("box refused the text");
        calls << "put:" + text;
    }
    void speakPause() override { calls << "speakPause"; }
    void stop() override { calls << "stop"; }
    int playStatus() const override { return 3; }
    QString voiceEntry() const override { return {}; }
    int generation() const override { return 0; }
    platform::speech::TextToSpeech& clockVoice4() override { throw std::logic_error("none"); }
    platform::speech::SpVoice& clockVoice5() override { throw std::logic_error("none"); }
    app::RecordingVoices recordingVoices() override { return {}; }
    void startTimerSayTest() override {}
    void exitAll() override { calls << "exitAll"; }
};

class ClipboardWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        clipboard()->clear();
        watch.watch(clipboard());
        test::spinFor(20); // the clear's own change, before the watch counts
        reader.calls.clear();
    }
    void TearDown() override { watch.watch(nullptr); }
    static QClipboard* clipboard() { return QGuiApplication::clipboard(); }
    // Copies `text` and lets the change arrive.
    void copy(const QString& text) {
        clipboard()->setText(text);
        test::spinFor(20);
    }

    RecordingReader reader;
    bool on = true;
    link::ClipboardWatch watch{reader, [this] { return on; }};
};

} // namespace

TEST_F(ClipboardWatchTest, CopiedTextFillsTheBoxUntrimmedThenStopsAndSpeaks) {
    copy("  Hello there.\n");
    EXPECT_EQ(reader.calls, (QStringList{"put:  Hello there.\n", "stop", "speakPause"}));
    // Only spaces are nothing: a line break alone is text.
    reader.calls.clear();
    copy("\n");
    EXPECT_EQ(reader.calls, (QStringList{"put:\n", "stop", "speakPause"}));
}

TEST_F(ClipboardWatchTest, EmptyOrOnlySpacesOrWatchOffDoesNothing) {
    copy("     ");
    copy("");
    on = false;
    copy("Not while the watch is off.");
    EXPECT_TRUE(reader.calls.isEmpty()) << reader.calls.join('|').toStdString();
    on = true;
    copy("Now it is on.");
    EXPECT_EQ(reader.calls.size(), 3);
}

TEST_F(ClipboardWatchTest, OneReadingPerChangeAndNoneForTheSelection) {
    copy("first");
    copy("second");
    if (clipboard()->supportsSelection())
        clipboard()->setText("selected only", QClipboard::Selection);
    test::spinFor(50);
    EXPECT_EQ(reader.calls,
              (QStringList{"put:first", "stop", "speakPause", "put:second", "stop", "speakPause"}));
}

// Files, addresses and pictures on the clipboard are not text: nothing is read,
// nothing is opened.
TEST_F(ClipboardWatchTest, NonTextDataIsNotRead) {
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile("/etc/passwd"), QUrl("https://example.org/")});
    clipboard()->setMimeData(files);
    test::spinFor(20);
    clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    test::spinFor(20);
    // A file manager's copy: the files, and their names as text beside them.
    auto* copiedFiles = new QMimeData;
    copiedFiles->setUrls({QUrl::fromLocalFile("/tmp/notes.txt")});
    copiedFiles->setText("/tmp/notes.txt");
    clipboard()->setMimeData(copiedFiles);
    test::spinFor(20);
    EXPECT_TRUE(reader.calls.isEmpty()) << reader.calls.join('|').toStdString();
}

// A step that fails is skipped; the rest of the steps still run.
TEST_F(ClipboardWatchTest, AFailingStepIsSkipped) {
    reader.failPutText = true;
    copy("text the box refuses");
    EXPECT_EQ(reader.calls, (QStringList{"stop", "speakPause"}));
}
