// Speak, pause and stop; the engines' start and end; following the spoken word
// with the selection, the position slider and the elapsed clock; the command link.

#include "app/boxfill.h"
#include "app/sorelmain.h"
#include "reading/readingrules.h"
#include "shared/elapsed.h"
#include "shared/linkcommand.h"
#include "shared/skiponerror.h"
#include "shared/voiceentry.h"

#include <climits>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace sonorel::app {

using namespace platform::speech;

void sorelmain::focusRule() {
    if (ActivateMe != 0)
        ActivateMe = 0;
    else
        RichTextBox1->setFocus();
}

void sorelmain::setTextBox(const QString& text) {
    m_boxFill->fill(text);
}

QString sorelmain::boxText() const {
    return m_boxFill->text();
}

int sorelmain::caretPosition() const {
    return RichTextBox1->textCursor().position();
}

void sorelmain::setCaret(int position) {
    m_boxFill->reach(position);
    QTextCursor c = RichTextBox1->textCursor();
    c.setPosition(std::clamp(position, 0, RichTextBox1->document()->characterCount() - 1));
    RichTextBox1->setTextCursor(c);
}

void sorelmain::select(int start, int length) {
    m_boxFill->reach(start + length);
    const int last = RichTextBox1->document()->characterCount() - 1;
    QTextCursor c = RichTextBox1->textCursor();
    c.setPosition(std::clamp(start, 0, last));
    c.setPosition(std::clamp(start + length, 0, last), QTextCursor::KeepAnchor);
    RichTextBox1->setTextCursor(c);
}

void sorelmain::stopClock() {
    ReadingTime->setInterval(0);
}

void sorelmain::Command5_Click() {
    skipOnError("focus", [&] { focusRule(); });
    const int generation = m_program.tts.EngineGeneration;
    if (generation != 4 && generation != 5)
        return;
    switch (PlayStatus) {
    case reading::Speaking:
        if (generation == 4)
            PauseMark = 99;
        skipOnError("pause", [&] {
            if (generation == 4)
                DirectSS1->AudioPause();
            else
                NewsVoice1->Pause();
        });
        stopClock();
        showReadyFace();
        PlayStatus = reading::Paused;
        return;
    case reading::Paused:
        PauseMark = 0;
        skipOnError("resume", [&] {
            if (generation == 4)
                DirectSS1->AudioResume();
            else
                NewsVoice1->Resume();
        });
        ReadingTime->setInterval(1000);
        showSpeakingFace();
        PlayStatus = reading::Speaking;
        return;
    case reading::Idle: {
        const QString text = boxText();
        TextLength = reading::lengthWithoutOuterSpaces(text);
        const int start = reading::readingStart(generation, caretPosition(), TextLength);
        if (start != caretPosition())
            setCaret(start);
        skipOnError("focus", [&] { RichTextBox1->setFocus(); });
        SpeakBase = start;
        SpokenText = text.mid(start);
        if (generation == 5)
            SpokenText =
                reading::textForVoice(voiceNameFromEntry(Combo1->currentText()), SpokenText);
        skipOnError("speak", [&] {
            if (generation == 4) {
                DirectSS1->TextData(0, 0, SpokenText);
            } else {
                NewsVoice1->Speak("", SVSFPurgeBeforeSpeak);
                NewsVoice1->Speak(SpokenText, SVSFlagsAsync);
            }
        });
        ReadingStart = m_services.clock.now();
        ReadingTime->setInterval(1000);
        if (generation == 5)
            Label13->setText("00:00:00");
        showSpeakingFace();
        PlayStatus = reading::Speaking;
        return;
    }
    default:
        return;
    }
}

void sorelmain::Command6_Click() {
    const int generation = m_program.tts.EngineGeneration;
    if (generation == 4) {
        PauseMark = 0;
        skipOnError("reset", [&] { DirectSS1->AudioReset(); });
        showReadyFace();
        PlayStatus = reading::Idle;
    } else if (generation == 5) {
        PauseMark = 0;
        skipOnError("purge", [&] {
            NewsVoice1->Resume();
            NewsVoice1->Speak("", SVSFPurgeBeforeSpeak);
        });
        showReadyFace();
        PlayStatus = reading::Idle;
    }
    skipOnError("focus", [&] { focusRule(); });
}

void sorelmain::engineStarted() {
    showSpeakingFace();
    PlayStatus = reading::Speaking;
}

void sorelmain::engineEnded() {
    stopClock();
    if (PauseMark == 99) {
        showReadyFace();
        PlayStatus = reading::Paused;
        return;
    }
    cpvSlider1->setValue(0);
    setCaret(0);
    showReadyFace();
    PlayStatus = reading::Idle;
}

void sorelmain::DirectSS1_WordPosition(int, int, int byteoffset) {
    setCaret(reading::sapi4WordStart(SpeakBase, byteoffset));
    const int s = caretPosition();
    const BoxFill* box = m_boxFill;
    const int boxLength = box->length();
    const int e = reading::wordEnd(s, TextLength, boxLength == 0, [box, boxLength](int i) {
        return i < boxLength ? box->at(i) : QChar();
    });
    select(s, e - s);
    cpvSlider1->setValue(e - 1);
}

void sorelmain::NewsVoice1_Word(int, qint64, int characterPosition, int length) {
    const int start = SpeakBase + characterPosition;
    select(start, length);
    if (cpvSlider1->maximum() >= start)
        cpvSlider1->setValue(start);
}

void sorelmain::MonitorText1Len_Timer() {
    MonitorText1Len->setInterval(0);
    TextLength = m_boxFill->length();
    if (TextLength > 0) {
        cpvSlider1->setMaximum(TextLength);
        cpvSlider1->setEnabled(true);
    } else {
        cpvSlider1->setMaximum(INT_MAX);
        cpvSlider1->setValue(0);
        cpvSlider1->setEnabled(false);
    }
}

void sorelmain::ReadingTime_Timer() {
    Label13->setText(elapsedText(ReadingStart.secsTo(m_services.clock.now())));
}

void sorelmain::cpvSlider1_Change() {
    // Dragged, clicked, keyed or wheeled: while idle the caret follows, since the
    // next reading starts there. (Moves made by the program itself leave it.)
    if (PlayStatus == reading::Idle)
        setCaret(cpvSlider1->sliderPosition());
}

void sorelmain::cpvSlider1_Scroll() {
    if (PlayStatus != reading::Idle || TextLength <= 0)
        return;
    cpvSlider1->setMaximum(TextLength);
    setCaret(cpvSlider1->value());
}

void sorelmain::Command2_Click() {
    platform::FontChoice initial{RichTextBox1->font(),
                                 RichTextBox1->palette().color(QPalette::Text)};
    const auto chosen = m_services.dialogs.chooseFont(initial, this);
    if (!chosen)
        return;
    // The whole text takes the colour; the caret stays where it was.
    QPalette p = RichTextBox1->palette();
    p.setColor(QPalette::Text, chosen->color);
    RichTextBox1->setPalette(p);
    RichTextBox1->setFont(chosen->font);
}

void sorelmain::Command1_Click() {
    const auto chosen = m_services.dialogs.chooseColor(std::nullopt, this);
    if (!chosen)
        return;
    QPalette p = RichTextBox1->palette();
    p.setColor(QPalette::Base, *chosen);
    RichTextBox1->setPalette(p);
}

void sorelmain::readText(const QString& text) {
    Command6_Click();
    setTextBox(text);
    Command5_Click();
}

void sorelmain::putText(const QString& text) {
    setTextBox(text);
}

QString sorelmain::voiceEntry() const {
    const TTSSets& tts = m_program.tts;
    if (tts.EngineGeneration != 4 && tts.EngineGeneration != 5)
        return {};
    return voiceEntryText(tts.VoiceName, tts.EngineGeneration);
}

void sorelmain::LinkExecute(const QString& command) {
    switch (classifyLinkCommand(command)) {
    case LinkCommand::SwitchVoice:
        ActivateMe = 99;
        VocelleFromIE(command);
        break;
    case LinkCommand::Stop:
        ActivateMe = 99;
        Command6_Click();
        break;
    case LinkCommand::SpeakPause:
        ActivateMe = 99;
        Command5_Click();
        break;
    case LinkCommand::Read:
        ActivateMe = 99;
        readText(linkCommandText(command));
        break;
    case LinkCommand::File:
        // A file that cannot be loaded changes nothing (the box keeps its text, a
        // reading goes on); the user is told without a wait, so the link goes on
        // answering.
        if (!loadFileBox(command, false))
            break;
        Command6_Click();
        setTextBox(RichTextBox2.Text());
        Command5_Click();
        break;
    }
}

} // namespace sonorel::app
