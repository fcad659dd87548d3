#include "help/howto.h"

#include "app/program.h"
#include "help/officeinstall.h"
#include "platform/accessiblename.h"
#include "platform/windowdrag.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace sonorel::help {

namespace {

QLabel* textLabel(const QString& html, QWidget* parent) {
    auto* label = new QLabel(html, parent);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

// A text that acts when clicked, drawn as a link, reached by Tab and pressed
// with Space or Enter like any button.
QPushButton* linkButton(const QString& text, const QString& tip, QWidget* parent) {
    auto* link = new QPushButton(text, parent);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setAutoDefault(false);
    link->setStyleSheet(QStringLiteral("QPushButton { color: #0645ad; text-decoration: underline;"
                                       " border: none; padding: 1px; text-align: left; }"
                                       "QPushButton:focus { outline: 1px dotted; }"
                                       "QPushButton:disabled { color: gray; }"));
    link->setToolTip(tip);
    platform::nameAs(link, text.endsWith(u'.') ? text.chopped(1) : text);
    return link;
}

QLabel* picture(const QString& file, int size, QWidget* parent) {
    auto* image = new QLabel(parent);
    const QPixmap pixmap(file);
    if (!pixmap.isNull())
        image->setPixmap(pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    image->setFixedSize(size, size);
    return image;
}

} // namespace

howto::howto(app::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services) {
    setWindowTitle(kHowToCaption);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    Image1 = picture(m_services.folder.shippedFile(QStringLiteral("sonorel.png")), 48, this);
    platform::nameAs(Image1, QStringLiteral("Sonorel"));
    top->addWidget(Image1, 0, Qt::AlignTop);
    Label1 = textLabel(
        QStringLiteral("<b>How to listen to a LibreOffice Writer document?</b><br>"
                       "Add the speaker to LibreOffice Writer below, then start Writer again. "
                       "Its Sonorel toolbar (View, Toolbars, Sonorel) has three buttons: the "
                       "first reads the selected text, or the whole document when nothing is "
                       "selected; the second pauses and resumes; the third stops. Sonorel is "
                       "started when it is not running."),
        this);
    top->addWidget(Label1, 1);
    column->addLayout(top);

    auto* writer = new QHBoxLayout;
    Image2 = picture(m_services.folder.shippedFile(QStringLiteral("speak.bmp")), 24, this);
    Image2->setCursor(Qt::PointingHandCursor);
    platform::nameAs(Image2, QStringLiteral("Add the speaker to LibreOffice Writer"));
    Label3 =
        linkButton(QStringLiteral("click here, add the speaker to LibreOffice Writer."),
                   QStringLiteral("Install the Sonorel toolbar into LibreOffice Writer"), this);
    writer->addWidget(Image2);
    writer->addWidget(Label3);
    writer->addStretch();
    column->addLayout(writer);

    Label4 = textLabel(QStringLiteral("<b>How to listen to a text file in the file manager?</b><br>"
                                      "Right-click a text or RTF file and choose Open With, "
                                      "Sonorel: the file is shown and read aloud."),
                       this);
    column->addWidget(Label4);
    Label5 = textLabel(QStringLiteral("<b>How to listen to a web page?</b><br>"
                                      "Turn on the clipboard watch in the quick menu, then copy "
                                      "text in the web browser (or any program) with Ctrl+C: "
                                      "every text copied is read aloud."),
                       this);
    column->addWidget(Label5);
    Label6 = textLabel(QStringLiteral("<b>Note:</b><br>A right click on Sonorel's icon in the "
                                      "notification area opens the quick menu; a left click shows "
                                      "or hides the main window. The Writer buttons appear after "
                                      "LibreOffice Writer is started again.<br>"
                                      "<b>Advice:</b><br>The Writer buttons are an installed "
                                      "extension, so LibreOffice's macro security can stay as "
                                      "it is."),
                       this);
    column->addWidget(Label6);

    auto* wordPerfect = new QHBoxLayout;
    Image7 = picture(m_services.folder.shippedFile(QStringLiteral("speak.bmp")), 24, this);
    Image7->setCursor(Qt::PointingHandCursor);
    platform::nameAs(Image7, QStringLiteral("Add the speaker to WordPerfect"));
    Label9 = linkButton(QStringLiteral("click here, add the speaker to WordPerfect."),
                        QStringLiteral("Copy the Sonorel macros into WordPerfect's folders"), this);
    wordPerfect->addWidget(Image7);
    wordPerfect->addWidget(Label9);
    wordPerfect->addStretch();
    column->addLayout(wordPerfect);

    auto* bottom = new QHBoxLayout;
    Label2 = linkButton(QStringLiteral("FAQ"), QStringLiteral("Open the help page"), this);
    Label8 = linkButton(QStringLiteral("FAQ Online"),
                        QStringLiteral("Open the help page on Sonorel's web site"), this);
    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setToolTip(QStringLiteral("Close this window"));
    platform::nameAs(Command1, QStringLiteral("Close"));
    bottom->addWidget(Label2);
    bottom->addWidget(Label8);
    bottom->addStretch();
    bottom->addWidget(Command1);
    column->addLayout(bottom);

    connect(Label3, &QPushButton::clicked, this, &howto::Label3_Click);
    connect(Label9, &QPushButton::clicked, this, &howto::Label9_Click);
    connect(Label2, &QPushButton::clicked, this, &howto::Label2_Click);
    connect(Label8, &QPushButton::clicked, this, &howto::Label8_Click);
    connect(Command1, &QPushButton::clicked, this, &howto::Command1_Click);
    Image2->installEventFilter(this);
    Image7->installEventFilter(this);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &howto::Command1_Click);

    platform::dragByBody(this, {Label1, Label4, Label5, Label6, Image1});
    setTabOrder(Label3, Label9);
    setTabOrder(Label9, Label2);
    setTabOrder(Label2, Label8);
    setTabOrder(Label8, Command1);
    setFixedWidth(520);
}

void howto::Label3_Click() {
    if (m_writerInstall)
        return; // one unopkg at a time; its link is disabled meanwhile
    m_writerInstall = WriterInstall::start(m_services, this);
    if (!m_writerInstall)
        return;
    Label3->setEnabled(false);
    Image2->setEnabled(false);
    connect(m_writerInstall, &WriterInstall::finished, this, [this] {
        m_writerInstall = nullptr; // it deletes itself later
        Label3->setEnabled(true);
        Image2->setEnabled(true);
    });
}

void howto::Label9_Click() {
    installForWordPerfect(m_services, this);
}

void howto::Label2_Click() {
    openHelpPage(m_services.folder.shippedFile(kLocalHelpPage));
}

void howto::Label8_Click() {
    openHelpPage(app::kMakerSite + QStringLiteral("/Sonorel/FAQ.htm"));
}

void howto::Command1_Click() {
    close();
}

void howto::openHelpPage(const QString& address) {
    if (!m_services.shell.open(address))
        qWarning().noquote() << "howto: no program opens" << address;
    close();
}

void howto::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        close();
}

bool howto::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Image2 && Image2->isEnabled()) {
            Label3_Click();
            return true;
        }
        if (watched == Image7) {
            Label9_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace sonorel::help
