// The main window's controls and layout: building the panel, folding and
// unfolding the reading box, following resizes, dragging by the body, and the
// faces of the Speak/Pause button.

#include "app/sorelmain.h"
#include "app/boxfill.h"
#include "app/tray.h"
#include "app/windowlist.h"
#include "platform/accessiblename.h"
#include "platform/textfile.h"
#include "platform/windowdrag.h"
#include "shared/elapsed.h"

#include <cmath>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>
#include <QWindow>

namespace sonorel::app {

namespace {
// Layout constants, in twips.
constexpr int kFoldThreshold = 2000;
constexpr int kTextLeft = 100;
constexpr int kBelowText = 600;
constexpr int kOutOfSight = 99999;

QPushButton* button(QWidget* parent, const QString& caption, const QString& tip) {
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

// A scale from 100 at its top to 0 at its bottom, with its caption and value.
QSlider* scale(QWidget* parent, QGridLayout* grid, int column, const QString& caption,
               const QString& tip, QLabel*& value, int position) {
    auto* title = new QLabel(caption, parent);
    title->setAlignment(Qt::AlignCenter);
    // A vertical slider has its maximum at the top, as these scales want.
    auto* bar = new QSlider(Qt::Vertical, parent);
    bar->setRange(0, 100);
    bar->setPageStep(10);
    bar->setValue(position);
    bar->setToolTip(tip);
    bar->setMinimumHeight(64);
    // Told by the caption above it; its value is the number shown below it.
    platform::nameAfter(bar, title);
    value = new QLabel(QString::number(position), parent);
    value->setAlignment(Qt::AlignCenter);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance("100") + 4);
    grid->addWidget(title, 0, column, Qt::AlignHCenter);
    grid->addWidget(bar, 1, column, Qt::AlignHCenter);
    grid->addWidget(value, 2, column, Qt::AlignHCenter);
    return bar;
}
} // namespace

bool TextFileBox::setFileName(const QString& path) {
    using platform::TextFileRefusal;
    const platform::TextFileResult loaded = platform::readTextFile(path);
    if (loaded.text) {
        m_text = *loaded.text;
        m_refusal.clear();
        return true;
    }
    switch (loaded.refusal) {
    case TextFileRefusal::Folder:
        m_refusal = path + " is a folder, not a text file.";
        break;
    case TextFileRefusal::NotRegular:
        m_refusal = path + " is not a regular file (it is a device, pipe or socket), so it is "
                           "not read.";
        break;
    case TextFileRefusal::TooLarge:
        m_refusal = path + " is larger than " + QString::number(platform::kMaxTextFileBytes >> 20) +
                    " MB, the largest text file Sonorel opens.";
        break;
    case TextFileRefusal::Unreadable:
        m_refusal = path + " cannot be read: " + loaded.reason + ".";
        break;
    case TextFileRefusal::Missing:
    case TextFileRefusal::None:
        m_refusal = "Can not find the file " + path + ".";
        break;
    }
    return false;
}

sorelmain::sorelmain(Services& services, Program& program, Windows& windows, QWidget* parent)
    : QWidget(parent), m_services(services), m_program(program), m_windows(windows) {
    setWindowTitle("Sonorel");
    setWindowIcon(QIcon(m_services.folder.shippedFile("sonorel.png")));
    buildControls();
    registerWindows(m_windows, {services, program, *this});
}

sorelmain::~sorelmain() = default;

double sorelmain::twipsPerPixel() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int sorelmain::unfoldHeight(int screenHeight) {
    return screenHeight == 480 ? 6800 : screenHeight == 600 ? 8700 : 11050;
}

int sorelmain::twips(int px) const {
    return int(std::lround(px * twipsPerPixel()));
}

int sorelmain::pixels(int tw) const {
    return int(std::lround(tw / twipsPerPixel()));
}

void sorelmain::buildControls() {
    RichTextBox1 = new QPlainTextEdit(this);
    RichTextBox1->setObjectName("RichTextBox1");
    RichTextBox1->setToolTip("Paste text here");
    platform::nameAs(RichTextBox1, "Text to read");
    // Tab leaves the box for the buttons, as everywhere else in the window.
    RichTextBox1->setTabChangesFocus(true);
    // The spoken word stays visible when the focus is elsewhere.
    QPalette p = RichTextBox1->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    RichTextBox1->setPalette(p);
    RichTextBox1->viewport()->installEventFilter(this);
    m_boxFill = new BoxFill(RichTextBox1, this);

    Frame1 = new QFrame(this);
    Frame1->setObjectName("Frame1");
    Frame1->setFrameShape(QFrame::StyledPanel);
    platform::nameAs(Frame1, "Reading controls");
    Frame1->installEventFilter(this);

    Command5 = button(Frame1, "S&peak", "Read aloud");
    Command6 = button(Frame1, "&Stop", "Stop speaking");
    Command7 = button(Frame1, "&Voice", "Choose another voice");
    Command3 = button(Frame1, "&Open", "Load text file (.txt, .rtf) to read aloud");
    Command4 = button(Frame1, "S&ave",
                      "save text as text file or audio file. To save as audio file, TTS5 is "
                      "faster than TTS4");
    Command2 = button(Frame1, "Fo&nt", "Change text font");
    Command1 = button(Frame1, "&BColor", "Change text back color");
    Command8 = button(Frame1, "&Help", "How does this application work?");
    Command9 = button(Frame1, "&Close", "Close this window");
    Command5->setIconSize(QSize(16, 16));
    const QString speakPicture = m_services.folder.shippedFile("speak.bmp");
    if (QFile::exists(speakPicture))
        Command5->setIcon(QIcon(speakPicture));

    Combo1 = new QComboBox(Frame1);
    Combo1->setObjectName("Combo1");
    Combo1->hide();
    // Escape gives up the choice: the list goes and the Voice button has the focus.
    Combo1->installEventFilter(this);
    Combo1->view()->installEventFilter(this);

    cpvSlider1 = new QSlider(Qt::Horizontal, Frame1);
    cpvSlider1->setObjectName("cpvSlider1");
    cpvSlider1->setRange(0, 0);
    cpvSlider1->setEnabled(false);
    cpvSlider1->setToolTip("Reading position");
    platform::nameAs(cpvSlider1, "Reading position");
    Label13 = new QLabel("00:00:00", Frame1);
    Label13->setToolTip("Reading time");
    Check1 = new QCheckBox("&Text", Frame1);
    Check1->setChecked(true);
    Check1->setToolTip("Hide text box");

    Label8 = new QLabel("Sonorel", Frame1);
    QFont brand = Label8->font();
    brand.setBold(true);
    Label8->setFont(brand);
    Label10 = new QLabel(kVersionText, Frame1);
    for (QLabel* l : {Label8, Label10})
        l->setToolTip("Double click to download more text to speech engines");
    Image1 = new QLabel(Frame1);
    Image1->setPixmap(windowIcon().pixmap(24, 24));
    Image1->setToolTip("Reviews of text to speech engines");
    platform::nameAs(Image1, "Sonorel picture");
    Label15 = new QLabel(this);
    Label15->hide();
    // Holds the slide reader's default word font: words are shown in large type.
    QFont slideWord = Label15->font();
    slideWord.setPointSize(36);
    Label15->setFont(slideWord);

    auto* scales = new QGridLayout;
    scales->setContentsMargins(0, 0, 0, 0);
    scales->setHorizontalSpacing(10);
    scales->setVerticalSpacing(2);
    VScroll1 = scale(Frame1, scales, 0, "Volume", "Change speak volume", Label1, 100);
    VScroll2 = scale(Frame1, scales, 1, "Rate", "Change speak rate", Label5, 0);
    VScroll3 = scale(Frame1, scales, 2, "Pitch",
                     "Change speak pitch (only some voices can change their pitch)", Label3, 29);
    Label5->setText("29");

    auto* buttons = new QGridLayout;
    buttons->setSpacing(4);
    const QList<QPushButton*> row1 = {Command5, Command6, Command7, Command3, Command4};
    const QList<QPushButton*> row2 = {Command2, Command1, Command8, Command9};
    for (int i = 0; i < row1.size(); ++i)
        buttons->addWidget(row1[i], 0, i);
    for (int i = 0; i < row2.size(); ++i)
        buttons->addWidget(row2[i], 1, i);
    auto* position = new QHBoxLayout;
    position->addWidget(cpvSlider1, 1);
    position->addWidget(Label13);
    position->addWidget(Check1);
    buttons->addLayout(position, 2, 0, 1, 5);

    auto* brandRow = new QVBoxLayout;
    brandRow->addWidget(Image1, 0, Qt::AlignHCenter);
    brandRow->addWidget(Label8, 0, Qt::AlignHCenter);
    brandRow->addWidget(Label10, 0, Qt::AlignHCenter);
    brandRow->addStretch();

    // Tab goes as the eye reads: the text, the rows of buttons, the position
    // and the text switch below them, then the scales to their right.
    QWidget* previous = RichTextBox1;
    for (QWidget* next : std::initializer_list<QWidget*>{
             Command5, Command6, Command7, Command3, Command4, Command2, Command1, Command8,
             Command9, cpvSlider1, Check1, VScroll1, VScroll2, VScroll3}) {
        setTabOrder(previous, next);
        previous = next;
    }

    auto* panel = new QHBoxLayout(Frame1);
    panel->setContentsMargins(8, 6, 8, 6);
    panel->setSpacing(14);
    panel->addLayout(buttons);
    panel->addLayout(scales);
    panel->addLayout(brandRow);
    Frame1->resize(Frame1->sizeHint());
    for (QWidget* w : std::initializer_list<QWidget*>{Label8, Label10, Image1, Label13})
        w->installEventFilter(this);
    // The bare surface, the panel and its labels drag the window.
    platform::dragByBody(this, {Frame1, Label8, Label10, Image1, Label13});

    setMinimumSize(Frame1->width(), Frame1->height());
    resize(Frame1->width() + 40, pixels(8700));

    connect(Check1, &QCheckBox::clicked, this, &sorelmain::Check1_Click);
    connect(Command5, &QPushButton::clicked, this, &sorelmain::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &sorelmain::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &sorelmain::Command7_Click);
    connect(Command2, &QPushButton::clicked, this, &sorelmain::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &sorelmain::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &sorelmain::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &sorelmain::Command1_Click);
    connect(Command8, &QPushButton::clicked, this, [this] { m_windows.show(WindowId::HowTo); });
    connect(Command9, &QPushButton::clicked, this, &sorelmain::putAway);
    connect(Combo1, &QComboBox::activated, this, &sorelmain::Combo1_Click);
    connect(VScroll1, &QSlider::valueChanged, this, &sorelmain::VScroll1_Change);
    connect(VScroll2, &QSlider::valueChanged, this, &sorelmain::VScroll2_Change);
    connect(VScroll3, &QSlider::valueChanged, this, &sorelmain::VScroll3_Change);
    // Every move of the user's (drag, track click, key, wheel), not the program's.
    connect(cpvSlider1, &QSlider::actionTriggered, this, &sorelmain::cpvSlider1_Change);
    connect(cpvSlider1, &QSlider::sliderMoved, this, &sorelmain::cpvSlider1_Scroll);
    for (QPushButton* b :
         {Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8, Command9})
        b->installEventFilter(this);
    cpvSlider1->installEventFilter(this);
    Check1->installEventFilter(this);
    // Moves without a pressed button reach the handlers only with tracking on;
    // they hide the voice list when the pointer leaves it for another control.
    setMouseTracking(true);
    for (QWidget* w : std::initializer_list<QWidget*>{
             Frame1, Label8, Label10, Image1, Label13, Command1, Command2, Command3, Command4,
             Command5, Command6, Command7, Command8, Command9, cpvSlider1, Check1,
             RichTextBox1->viewport()})
        w->setMouseTracking(true);
}

void sorelmain::putAway() {
    // Without a notification area there would be no way back to a hidden
    // window: it only minimizes then.
    showMinimized();
    if (tray && tray->isVisible())
        hide();
}

void sorelmain::mouseMoveEvent(QMouseEvent* event) {
    initButton();
    QWidget::mouseMoveEvent(event);
}

int sorelmain::windowState() const {
    if (isMinimized())
        return 1;
    if (isMaximized())
        return 2;
    return 0;
}

void sorelmain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void sorelmain::Form_Resize() {
    RichTextBox1->setToolTip("Paste text here");
    const int width = twips(this->width());
    const int height = twips(this->height());
    const int panelWidth = twips(Frame1->width());
    const int panelHeight = twips(Frame1->height());
    Frame1->move(pixels(std::max(0, width - panelWidth)), Frame1->y());
    resizeGuard = 1;
    if (height > kFoldThreshold) {
        const int textHeight = std::max(0, height - panelHeight - kBelowText);
        RichTextBox1->setGeometry(pixels(kTextLeft), 0, std::max(0, pixels(width - 3 * kTextLeft)),
                                  pixels(textHeight));
        RichTextBox1->show();
        Frame1->move(Frame1->x(), pixels(textHeight + 100));
        Check1->setChecked(true);
        m_program.win.TextBoxShown = true;
        Check1->setToolTip("Hide text box");
    } else {
        RichTextBox1->move(pixels(kOutOfSight), RichTextBox1->y());
        RichTextBox1->hide();
        Frame1->move(Frame1->x(), 0);
        Check1->setChecked(false);
        m_program.win.TextBoxShown = false;
        Check1->setToolTip("Show text box");
    }
    resizeGuard = 0;
    if (!isMinimized()) {
        m_program.win.WinWidth = width;
        m_program.win.WinHeight = height;
    }
    m_program.win.WinState = windowState();
}

void sorelmain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && event->spontaneous()) {
        // Only changes the window system reports are the user's commands; the
        // program's own state changes (the tray, start-up) arrive unspontaneous.
        const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const int state = before & Qt::WindowMinimized ? 1 : before & Qt::WindowMaximized ? 2 : 0;
        beforeSystemCommand(state, isMinimized());
    }
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_program.win.WinState = windowState();
}

void sorelmain::Check1_Click() {
    if (resizeGuard == 1)
        return;
    setWindowState(Qt::WindowNoState);
    // Positions are the inner area's throughout, as stored and restored, so the
    // panel stays put on the screen when the text box folds away.
    const QRect inner = geometry();
    if (Check1->isChecked()) {
        m_program.win.TextBoxShown = true;
        const int screenHeight = screen() ? screen()->geometry().height() : 768;
        // The frame's top at the screen's top.
        const int top = (screen() ? screen()->geometry().top() : 0) + (inner.top() - y());
        setGeometry(inner.x(), top, inner.width(), pixels(unfoldHeight(screenHeight)));
    } else {
        m_program.win.TextBoxShown = false;
        // Down by the panel's own offset (the text box and the gap below it).
        const int panelTop = RichTextBox1->isVisible() ? Frame1->y() : 0;
        setGeometry(inner.x(), inner.y() + panelTop, inner.width(), pixels(kFoldThreshold));
    }
    resizeGuard = 0;
}

bool sorelmain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == Label8 || watched == Label10 || watched == Image1)) {
        m_services.shell.open(watched == Image1 ? kReviewPage : kDownloadPage);
        return true;
    }
    if (event->type() == QEvent::MouseMove && watched != Combo1)
        initButton();
    if (event->type() == QEvent::KeyPress && (watched == Combo1 || watched == Combo1->view()) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // After the list has closed itself.
        QMetaObject::invokeMethod(
            this,
            [this] {
                Combo1->hidePopup();
                Combo1->hide();
                Command7->setFocus(Qt::OtherFocusReason);
            },
            Qt::QueuedConnection);
    }
    if (event->type() == QEvent::MouseButtonPress && watched == RichTextBox1->viewport()) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton && TextLength > 0 && PlayStatus == reading::Idle) {
            // After the box has placed the caret.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    cpvSlider1->setMaximum(TextLength);
                    cpvSlider1->setValue(caretPosition());
                },
                Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void sorelmain::setFace(const QString& caption, const QString& tip, const QString& picture) {
    Command5->setText(caption);
    Command5->setToolTip(tip);
    // A missing picture keeps the old one; the state still follows.
    const QString path = m_services.folder.shippedFile(picture);
    if (QFile::exists(path))
        Command5->setIcon(QIcon(path));
}

void sorelmain::showSpeakingFace() {
    setFace("&Pause", "Pause speaking", "pause.bmp");
}

void sorelmain::showReadyFace() {
    setFace("S&peak", "Speak", "speak.bmp");
}

} // namespace sonorel::app
