#include "quickmenu/sorelmenu.h"

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "app/windows.h"
#include "platform/accessiblename.h"
#include "shared/skiponerror.h"

#include <QApplication>
#include <QCheckBox>
#include <QDebug>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QVBoxLayout>

namespace sonorel::quickmenu {

QPoint menuPlace(QPoint anchor, QSize size) {
    int left = anchor.x() - size.width();
    if (left <= 0)
        left = anchor.x();
    int top = anchor.y() - size.height();
    if (top <= 0)
        top = anchor.y();
    return {left, top};
}

// --- an item

namespace {
constexpr int kPadX = 4, kPadY = 3;
constexpr int kPictureSize = 20;
} // namespace

MenuItem::MenuItem(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    setText(caption);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MenuItem::setLit(bool lit) {
    if (m_lit == lit)
        return;
    m_lit = lit;
    update();
}

QSize MenuItem::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    return {fm.horizontalAdvance(text()) + 2 * kPadX,
            std::max(fm.height() + 2 * kPadY, kPictureSize)};
}

void MenuItem::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_lit ? kLitBack : kNormalBack);
    p.setPen(m_lit ? kLitText : kNormalText);
    // Drawn as one run, so a caption's leading space keeps its width.
    const QFontMetrics fm = fontMetrics();
    const int baseline = (height() - fm.height()) / 2 + fm.ascent();
    p.drawText(kPadX, baseline, text());
    if (hasFocus() && !m_lit) { // the keyboard's place, should the light be elsewhere
        p.setPen(QPen(kNormalText, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void MenuItem::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    emit hovered();
}

void MenuItem::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    emit hovered();
}

// --- a picture

MenuPicture::MenuPicture(QWidget* parent) : QLabel(parent) {
    setFixedSize(kPictureSize + 2, kPictureSize + 2);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::NoFocus);
}

void MenuPicture::mousePressEvent(QMouseEvent* event) {
    event->accept(); // its release is its own
}

void MenuPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    event->accept(); // a picture is no background: a press on it never closes the menu
}

void MenuPicture::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    emit hovered();
}

// --- the menu

namespace {
// The voice languages, each a picture that leads to the voice download page.
struct Language {
    const char* code;
    const char* name;
    QColor colour;
};
const Language kLanguages[] = {
    {"EN", "English", QColor(0x1F, 0x4E, 0x9A)}, {"FR", "French", QColor(0x24, 0x5E, 0xC8)},
    {"DE", "German", QColor(0x40, 0x40, 0x40)},  {"ES", "Spanish", QColor(0xC6, 0x2E, 0x2E)},
    {"IT", "Italian", QColor(0x2E, 0x8B, 0x3E)}, {"PT", "Portuguese", QColor(0x1E, 0x7B, 0x4E)},
    {"NL", "Dutch", QColor(0xD0, 0x6A, 0x10)},   {"RU", "Russian", QColor(0x36, 0x4E, 0xA8)},
    {"ZH", "Chinese", QColor(0xC8, 0x20, 0x20)}, {"JA", "Japanese", QColor(0xB0, 0x30, 0x50)},
    {"KO", "Korean", QColor(0x30, 0x40, 0x90)},  {"AR", "Arabic", QColor(0x20, 0x70, 0x40)},
    {"PL", "Polish", QColor(0xB8, 0x28, 0x40)},  {"SV", "Swedish", QColor(0x1C, 0x64, 0xB0)},
    {"EL", "Greek", QColor(0x28, 0x6C, 0xC0)},   {"TR", "Turkish", QColor(0xC0, 0x18, 0x18)},
};

QPixmap languageTile(const Language& language) {
    QPixmap tile(kPictureSize, kPictureSize);
    tile.fill(kNormalBack);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(language.colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0.5, 2.5, kPictureSize - 1, kPictureSize - 5), 3, 3);
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 2, kPictureSize, kPictureSize - 4), Qt::AlignCenter,
               QString::fromLatin1(language.code));
    return tile;
}
} // namespace

sorelMenu::sorelMenu(app::Services& services, app::Program& program, app::Reader& reader,
                     app::Windows& windows, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
      m_services(services), m_program(program), m_reader(reader), m_windows(windows) {
    setObjectName("sorelMenu");
    setWindowTitle("Sonorel menu");
    platform::nameAs(this, "Sonorel menu");
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kNormalBack);
    palette.setColor(QPalette::WindowText, kNormalText);
    setPalette(palette);

    // The speak item tells what a press will do now.
    const bool speaking = m_reader.playStatus() == 1;
    Label11 = addItem(11, speaking ? "Pause" : "Speak", speaking ? "Pause speaking" : "Speak",
                      &sorelMenu::Label11_Click);
    Label14 = addItem(14, "Stop", "Stop speaking", &sorelMenu::Label14_Click);
    Label15 = addItem(15, " Watch clipboard", "speak clipboard text", &sorelMenu::Label15_Click);
    Label13 = addItem(13, " Slide read aloud words", "Slide read aloud words from text file",
                      &sorelMenu::Label13_Click);
    Label12 =
        addItem(12, " Text files to sound files",
                "Batch convert text files to mp3 files or wav files", &sorelMenu::Label12_Click);
    Label10 = addItem(10, " Convert wav to mp3", "Convert wav file to mp3 file",
                      &sorelMenu::Label10_Click);
    Label5 = addItem(5, " Sound time", "Set alarm clock", &sorelMenu::Label5_Click);
    Label4 = addItem(4, " Update", "Update online", &sorelMenu::Label4_Click);
    Label3 = addItem(3, " Help", "How does this application work?", &sorelMenu::Label3_Click);
    Label2 = addItem(2, " About", "About this application and author informations",
                     &sorelMenu::Label2_Click);
    Label8 = addItem(8, " " + QUrl(app::kMakerSite).host(), "Homepage", &sorelMenu::Label8_Click);
    Label9 = addItem(9, " Get more voices", " Download more voices", &sorelMenu::Label9_Click);
    Label7 = addItem(7, " Eject CD", "Eject CD ROM", &sorelMenu::Label7_Click);
    Label6 = addItem(6, "Close CD", {}, &sorelMenu::Label6_Click);
    Label1 = addItem(1, " Exit all", "Exit Sonorel", &sorelMenu::Label1_Click);

    Check1 = new QCheckBox(this);
    Check1->setToolTip("Watch clipboard text ");
    platform::nameAs(Check1, "Watch clipboard");
    Check1->setChecked(m_program.win.WatchClipboard);
    Check1->installEventFilter(this);
    connect(Check1, &QCheckBox::clicked, this, &sorelMenu::Check1_Click);

    Image0 = new MenuPicture(this);
    Image0->setPixmap(QPixmap(m_services.folder.shippedFile("Image0.bmp")));
    Image0->setToolTip("Close menu");
    platform::nameAs(Image0, "Close menu");
    connect(Image0, &MenuPicture::clicked, this, &sorelMenu::Image0_Click);
    connect(Image0, &MenuPicture::hovered, this, [this] {
        light(nullptr);
        Image0->setFrameShape(QFrame::Box);
        setFocus(Qt::MouseFocusReason); // Enter then acts on nothing
    });

    for (const Language& language : kLanguages) {
        auto* picture = new MenuPicture(this);
        picture->setPixmap(languageTile(language));
        const QString tip = QStringLiteral("Download %1 Voice").arg(language.name);
        picture->setToolTip(tip);
        platform::nameAs(picture, tip);
        connect(picture, &MenuPicture::clicked, this, &sorelMenu::Label9_Click);
        connect(picture, &MenuPicture::hovered, this, [this] { light(Label9); });
        Image1 << picture;
    }

    m_keyOrder = {Label11, Label14, Label15, Check1, Label13, Label12, Label10, Label5,
                  Label4,  Label3,  Label2,  Label8, Label9,  Label7,  Label6,  Label1};
    for (int i = 1; i < m_keyOrder.size(); ++i)
        setTabOrder(m_keyOrder[i - 1], m_keyOrder[i]);

    buildLayout();
    placeAtAnchor();
    // The keyboard starts on the menu itself: nothing is lit until a key or the
    // mouse says where.
    setFocus(Qt::OtherFocusReason);
}

MenuItem* sorelMenu::addItem(int number, const QString& caption, const QString& tip,
                             void (sorelMenu::*click)()) {
    auto* item = new MenuItem(caption, this);
    connect(item, &QAbstractButton::clicked, this, click);
    item->setObjectName(QStringLiteral("Label%1").arg(number));
    item->setToolTip(tip);
    platform::nameAs(item, caption.trimmed());
    item->installEventFilter(this);
    connect(item, &MenuItem::hovered, this, [this, item] { light(item); });
    m_items << item;
    return item;
}

MenuPicture* sorelMenu::addPicture(int number, MenuItem* item, const QString& tip) {
    auto* picture = new MenuPicture(this);
    picture->setObjectName(QStringLiteral("Picture%1").arg(number));
    // A missing picture leaves the place empty; the item works all the same.
    picture->setPixmap(QPixmap(m_services.folder.shippedFile(picture->objectName() + ".bmp")));
    picture->setToolTip(tip);
    platform::nameAs(picture, item->text().trimmed());
    connect(picture, &MenuPicture::hovered, this, [this, item] { light(item); });
    // The picture beside the home page only shows it.
    if (number != 8)
        connect(picture, &MenuPicture::clicked, item, &QAbstractButton::click);
    m_pictures.insert(number, picture);
    return picture;
}

void sorelMenu::buildLayout() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(3, 3, 3, 3);
    column->setSpacing(1);

    auto* top = new QHBoxLayout;
    auto* title = new QLabel("Sonorel", this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setAttribute(Qt::WA_TransparentForMouseEvents); // its place is the background
    top->addWidget(title);
    top->addStretch();
    top->addWidget(Image0);
    column->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(1);
    int row = 0;
    const auto line = [&](MenuItem* item, int number) {
        if (number > 0)
            grid->addWidget(addPicture(number, item, item->toolTip()), row, 0);
        grid->addWidget(item, row, 1);
        ++row;
    };
    const auto gap = [&] { grid->setRowMinimumHeight(row++, 5); };
    line(Label11, 0);
    line(Label14, 0);
    auto* watch = new QHBoxLayout;
    watch->setSpacing(0);
    watch->addWidget(Label15, 1);
    watch->addWidget(Check1);
    grid->addLayout(watch, row++, 1);
    gap();
    line(Label13, 13);
    line(Label12, 12);
    line(Label10, 10);
    line(Label5, 5);
    gap();
    line(Label4, 4);
    line(Label3, 3);
    line(Label2, 2);
    gap();
    line(Label8, 8);
    line(Label9, 9);
    auto* languages = new QGridLayout;
    languages->setSpacing(1);
    for (int i = 0; i < Image1.size(); ++i)
        languages->addWidget(Image1[i], i / 8, i % 8);
    grid->addLayout(languages, row++, 1, Qt::AlignLeft);
    gap();
    line(Label7, 7);
    line(Label6, 6);
    gap();
    line(Label1, 1);
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);
    adjustSize();
    setFixedSize(size());
}

void sorelMenu::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // A frameless window on a grey desktop needs an edge of its own.
    QPainter p(this);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void sorelMenu::placeAtAnchor() {
    // Placed once, when it opens; showing it again while open leaves it there.
    move(menuPlace(m_program.MenuAnchor, size()));
}

// --- the light

MenuItem* sorelMenu::litItem() const {
    for (MenuItem* item : m_items)
        if (item->isLit())
            return item;
    return nullptr;
}

bool sorelMenu::closeBoxFramed() const {
    return Image0->frameShape() != QFrame::NoFrame;
}

void sorelMenu::resetLight() {
    for (MenuItem* item : std::as_const(m_items))
        item->setLit(false);
    Image0->setFrameShape(QFrame::NoFrame);
}

void sorelMenu::light(MenuItem* item) {
    resetLight();
    if (!item)
        return;
    item->setLit(true);
    // The keyboard goes on from the lit item; the check box keeps the focus that
    // lit its item.
    if (!item->hasFocus() && !(item == Label15 && Check1->hasFocus()))
        item->setFocus(Qt::MouseFocusReason);
}

void sorelMenu::moveLight(int step) {
    QWidget* now = focusWidget();
    int at = m_keyOrder.indexOf(now);
    if (at < 0 || !litItem())
        at = step > 0 ? -1 : int(m_keyOrder.size());
    const int count = int(m_keyOrder.size());
    QWidget* next = m_keyOrder[((at + step) % count + count) % count];
    next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    // Lit here too: a window the desktop did not activate gets no focus events.
    light(next == Check1 ? Label15 : static_cast<MenuItem*>(next));
}

void sorelMenu::mouseMoveEvent(QMouseEvent* event) {
    // Moves over the items come here too (they do not follow the mouse): only the
    // background's own put the light out.
    QWidget* under = childAt(event->position().toPoint());
    if (under && !under->testAttribute(Qt::WA_TransparentForMouseEvents))
        return;
    resetLight();
    if (focusWidget() != this)
        setFocus(Qt::MouseFocusReason);
    QWidget::mouseMoveEvent(event);
}

void sorelMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        unloadMenu(); // a click on the background
}

bool sorelMenu::focusNextPrevChild(bool next) {
    moveLight(next ? 1 : -1);
    return true;
}

void sorelMenu::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        unloadMenu();
        return;
    case Qt::Key_Down:
        moveLight(1);
        return;
    case Qt::Key_Up:
        moveLight(-1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool sorelMenu::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::Enter) && watched == Check1) {
        light(Label15);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QAbstractButton*>(watched))
            button->click();
        return true;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Escape) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// --- the actions

void sorelMenu::unloadMenu() {
    close();
}

void sorelMenu::showWindow(app::WindowId id) {
    skipOnError("show a window", [&] { m_windows.show(id); });
}

void sorelMenu::openPage(const QString& address) {
    // The shell's answer is not checked: a desktop without a browser says so itself.
    skipOnError("open a page", [&] { m_services.shell.open(address); });
}

void sorelMenu::Label1_Click() {
    // ExitAll unloads every window, this one too: it runs once this click has
    // returned, never inside the menu's own handler.
    app::Reader* reader = &m_reader;
    QMetaObject::invokeMethod(
        qApp, [reader] { reader->exitAll(); }, Qt::QueuedConnection);
}

void sorelMenu::Label2_Click() {
    showWindow(app::WindowId::About);
    unloadMenu();
}

void sorelMenu::Label3_Click() {
    showWindow(app::WindowId::HowTo);
    unloadMenu();
}

void sorelMenu::Label4_Click() {
    showWindow(app::WindowId::Update);
    unloadMenu();
}

void sorelMenu::Label5_Click() {
    showWindow(app::WindowId::ClockSettings);
    unloadMenu();
}

void sorelMenu::Label6_Click() {
    skipOnError("close the CD tray",
                [&] { m_services.media.sendString(QStringLiteral("set CDAudio door closed")); });
    unloadMenu();
}

void sorelMenu::Label7_Click() {
    // The menu stays open, so "Close CD" can follow at once.
    skipOnError("open the CD tray",
                [&] { m_services.media.sendString(QStringLiteral("set CDAudio door open")); });
}

void sorelMenu::Label8_Click() {
    openPage(app::kMakerSite);
    unloadMenu();
}

void sorelMenu::Label9_Click() {
    openPage(app::kDownloadPage);
    unloadMenu();
}

void sorelMenu::Label10_Click() {
    showWindow(app::WindowId::Converter);
    unloadMenu();
}

void sorelMenu::Label11_Click() {
    skipOnError("speak or pause", [&] { m_reader.speakPause(); });
    unloadMenu();
}

void sorelMenu::Label12_Click() {
    showWindow(app::WindowId::Batch);
    unloadMenu();
}

void sorelMenu::Label13_Click() {
    showWindow(app::WindowId::Slides);
    unloadMenu();
}

void sorelMenu::Label14_Click() {
    skipOnError("stop", [&] { m_reader.stop(); });
    unloadMenu();
}

void sorelMenu::Label15_Click() {
    const bool on = !Check1->isChecked();
    m_program.win.WatchClipboard = on;
    Check1->setChecked(on);
}

void sorelMenu::Check1_Click() {
    m_program.win.WatchClipboard = Check1->isChecked();
}

void sorelMenu::Image0_Click() {
    unloadMenu();
}

} // namespace sonorel::quickmenu
