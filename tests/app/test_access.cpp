// The main window for keyboard and screen-reader users: what assistive
// technology is told of each control, the order of Tab, the voice list by the
// keyboard, and a whole reading done with keys alone.

#include "readerfixture.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;

namespace {

QAccessibleInterface* told(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w);
}

class AccessTest : public ReaderTest {
protected:
    // A loaded window with the keyboard focus in it.
    void startFocused() {
        ASSERT_TRUE(start());
        w->show();
        QApplication::setActiveWindow(w.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    QWidget* focused() const { return QApplication::focusWidget(); }
    // Alt+`key` as the window system delivers it, so that mnemonics see it; the
    // button then clicks itself a moment later.
    void alt(Qt::Key key) { QTest::keyClick(w->windowHandle(), key, Qt::AltModifier); }
    // Presses Tab until `target` has the focus; false when it never comes.
    bool tabTo(QWidget* target) {
        for (int i = 0; i < 30 && focused() != target; ++i)
            QTest::keyClick(focused() ? focused() : w.get(), Qt::Key_Tab);
        return focused() == target;
    }
};

} // namespace

TEST_F(AccessTest, EveryControlIsToldByNameRoleAndValue) {
    ASSERT_TRUE(start());
    w->show();
    const auto expectTold = [](QWidget* control, QAccessible::Role role, const QString& name,
                               const QString& description = {}) {
        QAccessibleInterface* a = told(control);
        ASSERT_NE(a, nullptr) << name.toStdString();
        EXPECT_EQ(a->role(), role) << name.toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), name);
        if (!description.isEmpty()) {
            EXPECT_EQ(a->text(QAccessible::Description), description) << name.toStdString();
        }
    };
    expectTold(w->RichTextBox1, QAccessible::EditableText, "Text to read", "Paste text here");
    expectTold(w->Frame1, QAccessible::Border, "Reading controls");
    expectTold(w->Command5, QAccessible::Button, "Speak", "Read aloud");
    expectTold(w->Command6, QAccessible::Button, "Stop", "Stop speaking");
    expectTold(w->Command7, QAccessible::Button, "Voice", "Choose another voice");
    expectTold(w->Command9, QAccessible::Button, "Close", "Close this window");
    // The voice list is told by the voice in use.
    expectTold(w->Combo1, QAccessible::ComboBox, "Mary (TTS4.0)");
    expectTold(w->cpvSlider1, QAccessible::Slider, "Reading position", "Reading position");
    expectTold(w->Check1, QAccessible::CheckBox, "Text", "Hide text box");
    expectTold(w->Image1, QAccessible::StaticText, "Sonorel picture",
               "Reviews of text to speech engines");
    // The clock is read as it shows, with what it counts as its description.
    expectTold(w->Label13, QAccessible::StaticText, "00:00:00", "Reading time");

    // Each scale is named after its caption, and its value is the number shown
    // below it, also when assistive technology moves it.
    const struct {
        QSlider* bar;
        QLabel* shown;
        const char* name;
    } scales[] = {{w->VScroll1, w->Label1, "Volume"},
                  {w->VScroll2, w->Label5, "Rate"},
                  {w->VScroll3, w->Label3, "Pitch"}};
    for (const auto& s : scales) {
        expectTold(s.bar, QAccessible::Slider, s.name);
        QAccessibleValueInterface* value = told(s.bar)->valueInterface();
        ASSERT_NE(value, nullptr) << s.name;
        EXPECT_EQ(value->minimumValue().toInt(), 0) << s.name;
        EXPECT_EQ(value->maximumValue().toInt(), 100) << s.name;
        EXPECT_EQ(value->currentValue().toString(), s.shown->text()) << s.name;
        value->setCurrentValue(37);
        EXPECT_EQ(s.shown->text(), "37") << s.name;
        EXPECT_EQ(value->currentValue().toInt(), 37) << s.name;
    }
    // An upright scale that is not drawn upside down has 100 at its top.
    for (QSlider* bar : {w->VScroll1, w->VScroll2, w->VScroll3}) {
        EXPECT_EQ(bar->orientation(), Qt::Vertical);
        EXPECT_FALSE(bar->invertedAppearance());
    }

    // No control is left nameless (the voice list's drop-down is a window of its own).
    for (QWidget* control : w->findChildren<QWidget*>()) {
        QAccessibleInterface* a = told(control);
        if (!a || control->isWindow())
            continue;
        switch (a->role()) {
        case QAccessible::Button:
        case QAccessible::Slider:
        case QAccessible::CheckBox:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::Graphic:
        case QAccessible::Border:
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
                << control->metaObject()->className() << " " << control->objectName().toStdString();
            break;
        default:
            break;
        }
    }
}

TEST_F(AccessTest, TabFollowsTheLayoutAndEveryButtonHasItsOwnMnemonic) {
    startFocused();
    w->RichTextBox1->setFocus();
    ASSERT_EQ(focused(), w->RichTextBox1);
    // The text, the two rows of buttons, the text switch (the position slider
    // sleeps until there is a reading), the three scales, and round again.
    const QList<QWidget*> expected = {w->Command5, w->Command6,    w->Command7, w->Command3,
                                      w->Command4, w->Command2,    w->Command1, w->Command8,
                                      w->Command9, w->Check1,      w->VScroll1, w->VScroll2,
                                      w->VScroll3, w->RichTextBox1};
    QList<QWidget*> visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(focused(), Qt::Key_Tab);
        visited << focused();
    }
    EXPECT_EQ(visited, expected);
    EXPECT_TRUE(w->RichTextBox1->toPlainText().isEmpty()) << "Tab typed into the text box";
    // Shift+Tab goes back the same way.
    QTest::keyClick(focused(), Qt::Key_Backtab);
    EXPECT_EQ(focused(), w->VScroll3);

    QSet<int> keys;
    for (QPushButton* b : {w->Command1, w->Command2, w->Command3, w->Command4, w->Command5,
                           w->Command6, w->Command7, w->Command8, w->Command9}) {
        const QKeySequence key = QKeySequence::mnemonic(b->text());
        ASSERT_FALSE(key.isEmpty()) << b->text().toStdString();
        EXPECT_FALSE(keys.contains(key[0].toCombined())) << b->text().toStdString();
        keys << key[0].toCombined();
    }
}

TEST_F(AccessTest, TheVoiceListIsOpenedChosenFromAndLeftByTheKeyboard) {
    startFocused();
    w->Command7->setFocus();
    ASSERT_EQ(w->Combo1->currentText(), "Mary (TTS4.0)");
    const int voiceBefore = program.tts.VoiceIndex;
    // Escape: the list goes, the voice stays, the focus is back on Voice.
    alt(Qt::Key_V);
    ASSERT_TRUE(spinUntil([&] { return w->Combo1->view()->isVisible(); }));
    QTest::keyClick(w->Combo1->view(), Qt::Key_Down);
    QTest::keyClick(w->Combo1->view(), Qt::Key_Escape);
    spinUntil([&] { return !w->Combo1->isVisible(); });
    EXPECT_FALSE(w->Combo1->view()->isVisible());
    EXPECT_FALSE(w->Combo1->isVisible());
    // The window's focus is on Voice. (Handing the activation back from the
    // closed popup is the window manager's work, which the offscreen platform
    // does not always do: the test does it.)
    EXPECT_TRUE(spinUntil([&] { return w->focusWidget() == w->Command7; }));
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_EQ(w->Combo1->currentText(), "Mary (TTS4.0)");
    EXPECT_EQ(program.tts.VoiceIndex, voiceBefore);

    // Arrows and Enter: the voice is switched, and the focus goes to the text
    // (the switch stops any reading, and a stop hands the focus to the text).
    alt(Qt::Key_V);
    ASSERT_TRUE(spinUntil([&] { return w->Combo1->view()->isVisible(); }));
    QTest::keyClick(w->Combo1->view(), Qt::Key_Down);
    QTest::keyClick(w->Combo1->view(), Qt::Key_Return);
    EXPECT_FALSE(w->Combo1->isVisible());
    EXPECT_TRUE(spinUntil([&] { return w->focusWidget() == w->RichTextBox1; }));
    EXPECT_EQ(w->Combo1->currentText(), "Kal (TTS4.0)");
    EXPECT_NE(program.tts.VoiceIndex, voiceBefore);
    EXPECT_EQ(w->windowTitle(), "Kal (TTS4.0)");
}

TEST_F(AccessTest, AReadingDoneWithKeysAlone) {
    audio = platform::speech::AudioMode::Silent;
    startFocused();
    ASSERT_TRUE(tabTo(w->RichTextBox1));
    QTest::keyClicks(focused(), "One two three four five six seven eight nine ten eleven "
                                "twelve thirteen fourteen fifteen sixteen seventeen eighteen");
    ASSERT_TRUE(w->RichTextBox1->toPlainText().startsWith("One two three"));
    QTest::keyClick(focused(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(focused(), Qt::Key_Tab);
    ASSERT_EQ(focused(), w->Command5);
    QTest::keyClick(focused(), Qt::Key_Space);
    ASSERT_EQ(w->PlayStatus, reading::Speaking);

    // Moving about the window does not stop the reading.
    ASSERT_TRUE(tabTo(w->VScroll2));
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    const int rate = w->VScroll2->value();
    QTest::keyClick(focused(), Qt::Key_Up);
    EXPECT_EQ(w->VScroll2->value(), rate + 1);
    QTest::keyClick(focused(), Qt::Key_PageUp);
    EXPECT_EQ(w->VScroll2->value(), rate + 11);
    EXPECT_EQ(w->Label5->text(), QString::number(rate + 11));
    EXPECT_EQ(program.tts.RateValue, rate + 11);
    QTest::keyClick(focused(), Qt::Key_PageDown);
    QTest::keyClick(focused(), Qt::Key_Down);
    EXPECT_EQ(program.tts.RateValue, rate);
    EXPECT_EQ(w->PlayStatus, reading::Speaking);

    alt(Qt::Key_S);
    spinUntil([&] { return w->PlayStatus == reading::Idle; });
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    EXPECT_EQ(w->Command5->text(), "S&peak");
}
