#include "slides/slidereadaloud.h"

#include "platform/accessiblename.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/synthesizer.h"
#include "shared/records.h"
#include "shared/skiponerror.h"
#include "slides/worddisplay.h"
#include "slides/wordlist.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace sonorel::slides {

namespace {

const QString kPause = QStringLiteral("Pa&use");
const QString kResume = QStringLiteral("Res&ume");
const QString kRestoreDefault = QStringLiteral("Double click to restore default window");
// The system's own text, misspelling included.
const QString kRestoreFull = QStringLiteral("Double click to resotre full window");
// The size of the word font when the settings name none.
constexpr double kDefaultWordPoints = 36;
constexpr int kFirstWordMs = 100;

QColor colorFromRecord(RecordColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

RecordColor recordFromColor(const QColor& c) {
    return RecordColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}

QString countText(int count) {
    return QString::number(count) + (count == 1 ? " word" : " words");
}

} // namespace

SlideReadAloud::SlideReadAloud(app::Services& services, app::Program& program, app::Reader& reader,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_program(program), m_reader(reader) {
    setObjectName("SlideReadAloud");
    setWindowTitle(QStringLiteral("Slide read aloud words"));
    setAutoFillBackground(true);

    Label1 = new WordDisplay(this);
    Label1->setObjectName("Label1");
    Label1->setText(QStringLiteral("Word"));

    Frame1 = new QFrame(this);
    Frame1->setObjectName("Frame1");
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName("Text1");
    Text1->setMinimumWidth(320);
    platform::nameAs(Text1, QStringLiteral("Word file"));
    const auto button = [this](const char* name, const QString& caption, const QString& tip) {
        auto* b = new QPushButton(caption, Frame1);
        b->setObjectName(name);
        b->setToolTip(tip);
        return b;
    };
    Command5 = button("Command5", "Select &word file", "Select word file");
    Command8 = button("Command8", "&Edit", {});
    Command2 = button("Command2", "&Begin", "Begin slide read aloud words");
    Command3 = button("Command3", "&Stop", "Stop read aloud");
    Command4 = button("Command4", kPause, "Pause read aloud");
    Command9 = button("Command9", "&Previous", {});
    Command10 = button("Command10", "&Next", {});
    Command6 = button("Command6", "&Font", "Change word font");
    Command7 = button("Command7", "C&olor", "Change BackColor");
    Command1 = button("Command1", "&Close", {});
    Label2 = new QLabel(Frame1);
    Label2->setObjectName("Label2");
    Label2->setMinimumWidth(110);
    Check1 = new QCheckBox("&Full window", Frame1);
    Check1->setObjectName("Check1");
    Check1->setToolTip("Full screen when reading aloud");
    Check2 = new QCheckBox("&Random", Frame1);
    Check2->setObjectName("Check2");
    Check2->setToolTip("Random read aloud");
    SlideDelay = new QSlider(Qt::Horizontal, Frame1);
    SlideDelay->setObjectName("SlideDelay");
    SlideDelay->setToolTip("Delay");
    // Seconds per word: at least 1; the top is the slider's own default maximum.
    SlideDelay->setMinimum(1);
    SlideDelay->setPageStep(5);
    SlideDelay->setMinimumWidth(140);
    delayShown = new QLabel(Frame1);
    platform::nameAs(SlideDelay, QStringLiteral("Delay"), QStringLiteral("Seconds per word"));

    auto* grid = new QGridLayout(Frame1);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(Text1, 1);
    fileRow->addWidget(Command5);
    fileRow->addWidget(Command8);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(Label2);
    optionRow->addWidget(Check1);
    optionRow->addWidget(Check2);
    optionRow->addWidget(SlideDelay, 1);
    optionRow->addWidget(delayShown);
    auto* buttonRow = new QHBoxLayout;
    for (QPushButton* b :
         {Command2, Command4, Command3, Command9, Command10, Command6, Command7, Command1})
        buttonRow->addWidget(b);
    grid->addLayout(fileRow, 0, 0);
    grid->addLayout(optionRow, 1, 0);
    grid->addLayout(buttonRow, 2, 0);
    // Tab follows the rows, left to right, after the word display.
    QWidget* previous = Label1;
    for (QWidget* w :
         QList<QWidget*>{Text1, Command5, Command8, Check1, Check2, SlideDelay, Command2, Command4,
                         Command3, Command9, Command10, Command6, Command7, Command1}) {
        setTabOrder(previous, w);
        previous = w;
    }
    Frame1->adjustSize();

    seriation = new VbTimer(this);
    seriation->setObjectName("seriation");
    random = new VbTimer(this);
    random->setObjectName("random");

    // A: the settings before any notification is connected.
    applySettings();
    SlideStatus = 1;
    SlideRunning = false;
    setIdleControls();

    connect(Command1, &QPushButton::clicked, this, &SlideReadAloud::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &SlideReadAloud::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &SlideReadAloud::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &SlideReadAloud::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &SlideReadAloud::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &SlideReadAloud::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &SlideReadAloud::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &SlideReadAloud::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &SlideReadAloud::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &SlideReadAloud::Command10_Click);
    connect(Text1, &QLineEdit::textChanged, this, &SlideReadAloud::Text1_Change);
    connect(SlideDelay, &QSlider::valueChanged, this, &SlideReadAloud::SlideDelay_Change);
    connect(Label1, &WordDisplay::toggleAsked, this, &SlideReadAloud::Form_DblClick);
    connect(seriation, &VbTimer::timeout, this, &SlideReadAloud::seriation_Timer);
    connect(random, &VbTimer::timeout, this, &SlideReadAloud::random_Timer);
    Text1_Change();

    setMinimumSize(Frame1->width() + 20, 3 * Frame1->height());
    resize(std::max(760, Frame1->width() + 40), std::max(520, 4 * Frame1->height()));
}

// --- settings

void SlideReadAloud::applySettings() {
    const WinSets& w = m_program.win;
    Check1->setChecked(w.SlideFullWindow == 1);
    Check2->setChecked(w.SlideRandom == 1);
    SlideDelay->setValue(w.SlideDelaySec);
    delayShown->setText(QString::number(SlideDelay->value()) + " s");
    setBackColor(colorFromRecord(w.SlideBackColor));
    setWordColor(colorFromRecord(w.SlideForeColor));
    QFont f = Label1->font();
    if (!w.SlideFontName.isEmpty())
        f.setFamily(w.SlideFontName);
    bool ok = false;
    const double points = w.SlideFontSize.toDouble(&ok);
    f.setPointSizeF(ok && points > 0 ? points : kDefaultWordPoints);
    if (const auto bold = boolFromText(w.SlideFontBold))
        f.setBold(*bold);
    f.setItalic(w.SlideFontItalic);
    f.setUnderline(w.SlideFontUnderline);
    f.setStrikeOut(w.SlideFontStrikethru);
    Label1->setFont(f);
}

void SlideReadAloud::storeSettings() {
    WinSets& w = m_program.win;
    w.SlideFullWindow = Check1->isChecked() ? 1 : 0;
    w.SlideRandom = Check2->isChecked() ? 1 : 0;
    w.SlideDelaySec = SlideDelay->value();
    w.SlideBackColor = recordFromColor(backColor());
    const QFont f = Label1->font();
    w.SlideFontName = f.family();
    w.SlideFontSize = QString::number(f.pointSizeF());
    w.SlideFontBold = textFromBool(f.bold());
    w.SlideFontItalic = f.italic();
    w.SlideFontUnderline = f.underline();
    w.SlideFontStrikethru = f.strikeOut();
    // Qt fonts have no character set: the stored one is kept as it was.
    w.SlideForeColor = recordFromColor(wordColor());
}

void SlideReadAloud::setBackColor(const QColor& color) {
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(Label1)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, color);
        w->setPalette(p);
    }
}

void SlideReadAloud::setWordColor(const QColor& color) {
    QPalette p = Label1->palette();
    p.setColor(QPalette::WindowText, color);
    Label1->setPalette(p);
}

QColor SlideReadAloud::backColor() const {
    return Label1->palette().color(QPalette::Window);
}

QColor SlideReadAloud::wordColor() const {
    return Label1->palette().color(QPalette::WindowText);
}

// --- layout

void SlideReadAloud::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width(), h = height();
    const QSize frame = Frame1->size();
    const int frameTop = h - 2 * frame.height();
    Frame1->move((w - frame.width()) / 2, frameTop);
    // The display runs from a quarter of the height down to the controls.
    const int top = h / 4;
    Label1->setGeometry(0, top, w, std::max(frame.height(), frameTop - top));
}

// --- the word file

void SlideReadAloud::Command5_Click() {
    platform::FileDialogSpec dialog;
    dialog.title = QStringLiteral("Select A Word Text File");
    dialog.filters = {{QStringLiteral("Text File(*.txt)"), QStringLiteral("*.txt")}};
    dialog.initialFolder = m_program.win.SlideFolder;
    const std::optional<platform::FileChoice> choice = m_services.dialogs.openFile(dialog, this);
    if (!choice)
        return;
    QString path = choice->path;
    path.remove(QChar(0));
    useWordFile(path.trimmed());
}

void SlideReadAloud::useWordFile(const QString& path) {
    m_program.win.SlideFolder = path.left(path.lastIndexOf('/') + 1);
    Text1->setText(path);
    const std::optional<QStringList> entries = readWordList(path);
    if (!entries)
        return; // unreadable: what was loaded before stays
    const int count = int(entries->size());
    if (count < 2) {
        SlideCountText = QString::number(count) + " word";
        Label2->setText(SlideCountText);
        return;
    }
    SlideCountText = QString::number(count) + " words";
    Label2->setText(SlideCountText);
    SlideWords = *entries;
    SlideCount = count;
    SlidePos = 0;
}

void SlideReadAloud::loadEntries(const QString& path) {
    if (std::optional<QStringList> entries = readWordList(path)) {
        SlideWords = std::move(*entries);
        SlideCount = std::int32_t(SlideWords.size());
    }
}

void SlideReadAloud::Text1_Change() {
    Command8->setEnabled(Text1->text().trimmed().endsWith(QLatin1String(".txt")));
}

void SlideReadAloud::Command8_Click() {
    const QString path = Text1->text().trimmed();
    if (!m_services.shell.open(path))
        qWarning().noquote() << "slides: no program opens" << path;
}

// --- start and the checks before it

void SlideReadAloud::message(const QString& text) {
    platform::MessageSpec notice;
    notice.text = text;
    m_services.dialogs.message(notice, this);
}

void SlideReadAloud::Command2_Click() {
    stopSliding();
    const QString typed = Text1->text();
    const QString path = typed.trimmed();
    if (path.isEmpty()) {
        message(QStringLiteral("Please select a words file"));
        return;
    }
    if (!QFileInfo(path).isFile()) {
        message(typed + " does not exist");
        return;
    }
    if (SlideCountText == QLatin1String("0 word")) {
        message(typed + " has no word");
        return;
    }
    skipOnError("slide settings", [&] { storeSettings(); });
    if (Check1->isChecked()) {
        Label1->setToolTip(kRestoreDefault);
        showControls(false);
    }
    loadEntries(path);
    if (SlideCount >= 1) {
        startSliding();
        return;
    }
    SlideCountText = QStringLiteral("0 word");
    Label2->setText(SlideCountText);
    // No run was started, so no double click could bring the hidden controls
    // back: they come back with the message.
    Label1->setToolTip({});
    showControls(true);
    message(typed + " has no word");
}

void SlideReadAloud::startSliding() {
    SlideCountText = countText(SlideCount);
    Label2->setText(SlideCountText);
    SlidePos = 0;
    SlideStepMs = SlideDelay->value() * 1000;
    Command2->setEnabled(false);
    Command3->setEnabled(true);
    Command4->setEnabled(true);
    Command5->setEnabled(false);
    Command8->setEnabled(false);
    Text1->setReadOnly(true);
    Check1->setEnabled(false);
    Check2->setEnabled(false);
    SlideRunning = true;
    SlideStatus = 3;
    if (Check2->isChecked()) {
        m_rng.seed(std::uint32_t(m_services.clock.now().toMSecsSinceEpoch()));
        random->setInterval(kFirstWordMs);
    } else {
        seriation->setInterval(kFirstWordMs);
    }
}

// --- the run

VbTimer* SlideReadAloud::runTimer() const {
    return Check2->isChecked() ? random : seriation;
}

void SlideReadAloud::tick(VbTimer* timer, bool randomOrder) {
    if (SlideStatus == 1 || SlideStatus == 2) {
        timer->setInterval(0);
        return;
    }
    SlidePos += 1;
    if (SlidePos > SlideCount) {
        stopSliding();
        return;
    }
    Label2->setText(SlideCountText + "/" + QString::number(SlidePos));
    timer->setInterval(SlideStepMs);
    int number = SlidePos;
    if (randomOrder) {
        // A fresh single-precision number in [0, 1): 24 random bits.
        const float r = float(m_rng() >> 8) * (1.0f / 16777216.0f);
        number = std::min(int(r * float(SlideCount)) + 1, SlideCount);
    }
    speakEntry(number);
}

void SlideReadAloud::seriation_Timer() {
    tick(seriation, false);
}

void SlideReadAloud::random_Timer() {
    tick(random, true);
}

void SlideReadAloud::speakEntry(int number) {
    if (number < 1 || number > SlideWords.size())
        return;
    const QString word = SlideWords.at(number - 1);
    skipOnError("speak a slide word", [&] {
        switch (m_reader.generation()) {
        case 4:
            Label1->setText(word);
            m_reader.clockVoice4().Speak(word);
            break;
        case 5:
            Label1->setText(word);
            m_reader.clockVoice5().Speak(word, platform::speech::SVSFlagsAsync);
            break;
        default:
            break;
        }
    });
}

void SlideReadAloud::Command4_Click() {
    if (Command4->text() == kPause) {
        Command4->setText(kResume);
        SlideStatus = 2;
        runTimer()->setInterval(0);
    } else {
        Command4->setText(kPause);
        SlideStatus = 3;
        runTimer()->setInterval(kFirstWordMs);
    }
}

void SlideReadAloud::Command3_Click() {
    stopSliding();
}

void SlideReadAloud::stopSliding() {
    SlideRunning = false;
    SlideStatus = 1;
    seriation->setInterval(0);
    random->setInterval(0);
    Label1->setToolTip({});
    showControls(true);
    setIdleControls();
    skipOnError("silence the slide voice", [&] {
        switch (m_reader.generation()) {
        case 4:
            m_reader.clockVoice4().StopSpeaking();
            break;
        case 5:
            m_reader.clockVoice5().Speak({}, platform::speech::SVSFPurgeBeforeSpeak);
            break;
        default:
            break;
        }
    });
}

void SlideReadAloud::setIdleControls() {
    Command2->setEnabled(true);
    Command3->setEnabled(false);
    Command4->setEnabled(false);
    Command5->setEnabled(true);
    Text1_Change();
    Text1->setReadOnly(false);
    Check1->setEnabled(true);
    Check2->setEnabled(true);
}

void SlideReadAloud::stepTo(int number) {
    SlidePos = number;
    Label2->setText(SlideCountText + "/" + QString::number(SlidePos));
    // Fires once, finds the window idle and stops itself.
    seriation->setInterval(SlideStepMs);
    speakEntry(SlidePos);
}

void SlideReadAloud::Command10_Click() {
    stopSliding();
    if (SlidePos < SlideCount)
        stepTo(SlidePos + 1);
}

void SlideReadAloud::Command9_Click() {
    stopSliding();
    if (SlidePos > 1)
        stepTo(SlidePos - 1);
}

void SlideReadAloud::SlideDelay_Change() {
    delayShown->setText(QString::number(SlideDelay->value()) + " s");
    if (SlideRunning)
        runTimer()->setInterval(SlideDelay->value() * 1000);
}

// --- full window

QList<QWidget*> SlideReadAloud::hideableControls() const {
    return {Command1, Command2, Command3, Command4, Command5, Command6,   Command7,
            Command8, Text1,    Label2,   Check1,   Check2,   SlideDelay, Frame1};
}

void SlideReadAloud::showControls(bool shown) {
    for (QWidget* w : hideableControls())
        w->setVisible(shown);
    // With every control hidden the word display keeps the keyboard, so Enter
    // can bring them back.
    if (!shown && isVisible())
        Label1->setFocus();
}

void SlideReadAloud::Form_DblClick() {
    if (!SlideRunning)
        return;
    if (Command2->isHidden()) {
        showControls(true);
        Label1->setToolTip(kRestoreFull);
    } else {
        showControls(false);
        Label1->setToolTip(kRestoreDefault);
    }
}

void SlideReadAloud::mouseDoubleClickEvent(QMouseEvent*) {
    Form_DblClick();
}

// --- font and colour

void SlideReadAloud::Command6_Click() {
    const auto chosen = m_services.dialogs.chooseFont({Label1->font(), wordColor()}, this);
    if (!chosen)
        return;
    Label1->setFont(chosen->font);
    setWordColor(chosen->color);
}

void SlideReadAloud::Command7_Click() {
    if (const auto chosen = m_services.dialogs.chooseColor(backColor(), this))
        setBackColor(*chosen);
}

// --- closing

void SlideReadAloud::Command1_Click() {
    close();
}

void SlideReadAloud::closeEvent(QCloseEvent* event) {
    try {
        storeSettings();
        stopSliding();
    } catch (const platform::speech::EngineError& e) {
        message("Err number:" + QString::number(e.number()) + "Err Description:" + e.what());
    } catch (const std::exception& e) {
        message("Err number:0Err Description:" + QString::fromUtf8(e.what()));
    } catch (...) {
        message(QStringLiteral("Err number:0Err Description:"));
    }
    event->accept();
}

} // namespace sonorel::slides
