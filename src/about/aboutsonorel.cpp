#include "about/aboutsonorel.h"

#include "app/program.h"
#include "app/services.h"
#include "platform/accessiblename.h"
#include "platform/windowdrag.h"
#include "shared/skiponerror.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

namespace sonorel::about {

AboutSonorel::AboutSonorel(app::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_services(services) {
    setObjectName("AboutSonorel");
    setWindowTitle(QStringLiteral("About Sonorel"));
    setWindowIcon(QIcon(m_services.folder.shippedFile("sonorel.png")));

    auto* column = new QVBoxLayout(this);
    column->setSpacing(6);

    auto* head = new QHBoxLayout;
    auto* icon = new QLabel(this);
    const QPixmap picture(m_services.folder.shippedFile("sonorel.png"));
    if (!picture.isNull()) // without it the window shows its texts alone
        icon->setPixmap(picture.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    platform::nameAs(icon, QStringLiteral("Sonorel icon"));
    head->addWidget(icon);
    auto* names = new QVBoxLayout;
    ProductName = new QLabel(QStringLiteral("Sonorel"), this);
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(app::kVersionText, this);
    names->addWidget(ProductName);
    names->addWidget(Version);
    head->addLayout(names);
    head->addStretch();
    column->addLayout(head);

    auto* what = new QLabel(QStringLiteral("Reads text aloud with the voices of this computer,\n"
                                           "and saves it as WAV or MP3 sound files."),
                            this);
    column->addWidget(what);

    auto* contact = new QLabel(QStringLiteral("Contact the maker:"), this);
    column->addWidget(contact);
    const QString site = QUrl(app::kMakerSite).host();
    WebSite = new QPushButton(site, this);
    WebSite->setToolTip(QStringLiteral("Open the maker's web site"));
    platform::nameAs(WebSite, QStringLiteral("Web site ") + site);
    SupportMail = new QPushButton(app::kSupportMail, this);
    SupportMail->setToolTip(QStringLiteral("Write to the maker"));
    platform::nameAs(SupportMail, QStringLiteral("Mail ") + app::kSupportMail);
    for (QPushButton* link : {WebSite, SupportMail}) {
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("QPushButton { color: #1a4fb5; text-decoration: "
                                           "underline; text-align: left; padding: 1px 4px; }"));
        column->addWidget(link, 0, Qt::AlignLeft);
    }
    connect(WebSite, &QPushButton::clicked, this, [this] { open(app::kMakerSite); });
    connect(SupportMail, &QPushButton::clicked, this,
            [this] { open(QStringLiteral("mailto:") + app::kSupportMail); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    CloseButton = new QPushButton(QStringLiteral("&Close"), this);
    CloseButton->setToolTip(QStringLiteral("Close this window"));
    buttons->addWidget(CloseButton);
    column->addLayout(buttons);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    setTabOrder(WebSite, SupportMail);
    setTabOrder(SupportMail, CloseButton);
    CloseButton->setFocus();

    // The texts take no presses of their own; a press there moves the window.
    platform::dragByBody(this, {icon, ProductName, Version, what, contact});
    adjustSize();
    setFixedSize(size());
    if (const QScreen* screen = this->screen()) // in the middle, where it is seen
        move(screen->availableGeometry().center() - rect().center());
}

void AboutSonorel::open(const QString& address) {
    skipOnError("open the maker's address", [&] {
        if (!m_services.shell.open(address))
            qWarning().noquote() << "about: nothing opens" << address;
    });
}

} // namespace sonorel::about
