// The main window over the real engines and the real-time silent output: what a
// person sees while a short text is read by a flite and by an espeak-ng voice.

#include "readerfixture.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextCursor>

using namespace sonorel;
using namespace sonorel::test;

TEST(RealReader, BothFamiliesHighlightTheSpokenWordsInOrder) {
    RealWindow real;
    app::sorelmain& w = real.w;
    ASSERT_TRUE(real.loaded);
    ASSERT_EQ(w.Combo1->currentText(), "Mary (TTS4.0)");

    const QString text = "Grüße aus Köln. The end.";
    for (const QString voice : {"Mary (TTS4.0)", "English (America) (TTS5.0)"}) {
        real.pick(voice);
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
        EXPECT_EQ(w.PlayStatus, reading::Speaking);
        spinUntil([&] { return w.PlayStatus == reading::Idle; }, 15000);
        QObject::disconnect(startConn);
        EXPECT_EQ(w.PlayStatus, reading::Idle) << voice.toStdString();
        QStringList words;
        for (QString e : events)
            words << e.remove('.');
        EXPECT_EQ(words, (QStringList{"Grüße", "aus", "Köln", "The", "end"}))
            << voice.toStdString();
        EXPECT_EQ(w.RichTextBox1->textCursor().position(), 0);
    }
}
