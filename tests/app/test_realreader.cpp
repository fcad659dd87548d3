// The main window over the real engines and the real-time silent output: what a
// person sees while a short text is read by a flite and by an espeak-ng voice.

#include "app/sorelmain.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "readerfixture.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextCursor>

using namespace sonorel;
using namespace sonorel::test;

TEST(RealReader, BothFamiliesHighlightTheSpokenWordsInOrder) {
    QTemporaryDir dir;
    FakeProgramFolder folder{dir.path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{dir.path()};
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    app::Services services{
        folder,    registry,
        dialogs,   clock,
        processes, shell,
        temp,      gen4,
        gen5,      platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "test")};
    app::Program program;
    app::Windows windows;
    app::sorelmain w(services, program, windows);
    ASSERT_TRUE(w.Form_Load({}));
    ASSERT_EQ(w.Combo1->currentText(), "Mary (TTS4.0)");

    const QString text = "Grüße aus Köln. The end.";
    for (const QString voice : {"Mary (TTS4.0)", "English (America) (TTS5.0)"}) {
        w.Command7_Click();
        w.Combo1->hidePopup();
        w.Combo1->setCurrentIndex(w.Combo1->findText(voice));
        w.Combo1_Click();
        ASSERT_EQ(w.windowTitle(), voice);
        w.RichTextBox1->setPlainText(text);
        QStringList events;
        const auto startConn =
            QObject::connect(w.RichTextBox1, &QPlainTextEdit::selectionChanged, [&] {
                const QString s = w.RichTextBox1->textCursor().selectedText();
                if (!s.isEmpty() && events.value(events.size() - 1) != s)
                    events << s;
            });
        w.Command5_Click();
        EXPECT_EQ(w.PlayStatus, 1);
        spinUntil([&] { return w.PlayStatus == 3; }, 15000);
        QObject::disconnect(startConn);
        EXPECT_EQ(w.PlayStatus, 3) << voice.toStdString();
        QStringList words;
        for (QString e : events)
            words << e.remove('.');
        EXPECT_EQ(words, (QStringList{"Grüße", "aus", "Köln", "The", "end"}))
            << voice.toStdString();
        EXPECT_EQ(w.RichTextBox1->textCursor().position(), 0);
    }
}
