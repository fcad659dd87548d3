#include "update/updatewin.h"

#include "app/windows.h"
#include "platform/accessiblename.h"
#include "platform/files.h"
#include "platform/windowdrag.h"
#include "shared/recordcodec.h"
#include "shared/skiponerror.h"
#include "update/updaterules.h"

#include <cstdio>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkReply>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <unistd.h>

namespace sonorel::update {

namespace {
// The progress frame: 5000 twips at 96 DPI; the bar fills it at 100 percent.
constexpr int kFrameWidth = 334;
constexpr int kFrameHeight = 14;
// What is left of the bar after Stop (45 twips).
constexpr int kStoppedBarWidth = 3;
} // namespace

QString stateText(int state) {
    static const char* const texts[] = {
        "No available information", "Checking Server's IP",    "Found Server's IP Successfully",
        "Connecting Server",        "Connected Server",        "Requesting Server",
        "Requested Server",         "Waiting Server's Replay", "Received Server' Replay",
        "Disconnecting Server",     "Disconnected Server",     "Unable to Connect to Server",
        "Request has been handled",
    };
    if (state < 0 || state >= int(std::size(texts)))
        return {};
    return QString::fromLatin1(texts[state]);
}

updatewin::updatewin(app::Services& services, app::Program& program, app::Reader& reader,
                     UpdateOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_program(program), m_reader(reader),
      m_options(std::move(options)) {
    setObjectName(QStringLiteral("updatewin"));
    setWindowTitle(kUpdateCaption);
    Inet3 = new Inet(m_network, m_options.stallMs, this);
    Inet4 = new Inet(m_network, m_options.stallMs, this);
    connect(Inet3, &Inet::StateChanged, this, &updatewin::Inet3_StateChanged);
    connect(Inet4, &Inet::StateChanged, this, &updatewin::Inet4_StateChanged);
    connect(Inet3, &Inet::dataArrived, this, [this] {
        QNetworkReply* reply = Inet3->reply();
        if (reply && reply->bytesAvailable() > kVersionFileLimit) {
            m_checkRefused = true;
            Inet3->Cancel();
        }
    });
    connect(Inet3, &Inet::ended, this, &updatewin::checkEnded);
    connect(Inet4, &Inet::headersArrived, this, &updatewin::downloadHeaders);
    connect(Inet4, &Inet::dataArrived, this, &updatewin::downloadData);
    connect(Inet4, &Inet::ended, this, &updatewin::downloadEnded);
    buildControls();
    Form_Load();
}

void updatewin::buildControls() {
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Command4 = new QPushButton(QStringLiteral("&Check"), this);
    Label5 = new QLabel(this);
    Label6 = new QLabel(this);
    Label8 = new QLabel(QStringLiteral("Sonorel will be closed when update package begins running"),
                        this);
    Label8->setWordWrap(true);
    Command5 = new QPushButton(QStringLiteral("&Update"), this);
    Command1 = new QPushButton(QStringLiteral("&Stop"), this);
    Label40 = new QLabel(this);
    Label40->setFrameShape(QFrame::Box);
    Label40->setFixedSize(kFrameWidth, kFrameHeight);
    Label4 = new QLabel(Label40);
    Label4->setAutoFillBackground(true);
    Label4->setBackgroundRole(QPalette::Highlight);
    Label4->setGeometry(0, 0, 0, kFrameHeight);
    Label20 = new QLabel(this);
    Label20->setMinimumWidth(40);
    Command8 = new QPushButton(QStringLiteral("C&lose"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    auto* status = new QHBoxLayout;
    status->addWidget(Label2, 1);
    status->addWidget(Command4);
    layout->addLayout(status);
    layout->addWidget(Label5);
    layout->addWidget(Label6);
    layout->addWidget(Label8);
    auto* actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(Command5);
    actions->addWidget(Command1);
    layout->addLayout(actions);
    auto* progress = new QHBoxLayout;
    progress->addWidget(Label40);
    progress->addWidget(Label20);
    progress->addStretch();
    layout->addLayout(progress);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Command8);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Command4->setToolTip(QStringLiteral("Ask the Sonorel web site for a newer version"));
    Command5->setToolTip(QStringLiteral("Download the new version and start its installer"));
    Command1->setToolTip(QStringLiteral("Stop the download"));
    Command8->setToolTip(QStringLiteral("Close this window"));
    platform::nameAs(Label40, QStringLiteral("Download progress"));
    platform::nameAs(Label4, QStringLiteral("Downloaded part"));
    // The percentage is read as its own text; a name would hide it.
    Label20->setAccessibleDescription(QStringLiteral("Percent downloaded"));
    QWidget::setTabOrder(Command4, Command5);
    QWidget::setTabOrder(Command5, Command1);
    QWidget::setTabOrder(Command1, Command8);
    platform::dragByBody(this, {Label1, Label2, Label5, Label6, Label8, Label20, Label40, Label4});

    connect(Command4, &QPushButton::clicked, this, &updatewin::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &updatewin::Command5_Click);
    connect(Command1, &QPushButton::clicked, this, &updatewin::Command1_Click);
    connect(Command8, &QPushButton::clicked, this, &updatewin::Command8_Click);
    // Escape is the keyboard's Close button (the close box is refused).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &updatewin::Command8_Click);
}

QString updatewin::currentVersion() {
    return app::kVersionText.right(4);
}

QString updatewin::versionFile() const {
    return m_services.folder.programFile(QStringLiteral("newversion.ini"));
}

QString updatewin::installerFile() const {
    return m_services.folder.programFile(QStringLiteral("tempsetup.exe"));
}

QString updatewin::partialFile() const {
    return m_services.folder.programFile(QStringLiteral("tempsetup.exe.part"));
}

void updatewin::Form_Load() {
    bool ok = skipOnError("old installer", [&] {
        require(platform::removeFile(installerFile()), "tempsetup.exe cannot be removed");
        require(platform::removeFile(partialFile()), "a partial download cannot be removed");
    });
    if (m_options.closeQuickMenu)
        skipOnError("quick menu", [&] { m_options.closeQuickMenu(); });
    DownloadState = 1;
    UpdateMayClose = false;
    ok = skipOnError("version file",
                     [&] {
                         require(platform::removeFile(versionFile()),
                                 "newversion.ini cannot be removed");
                     }) &&
         ok;

    Label20->clear();
    Label5->clear();
    Label4->resize(0, kFrameHeight);
    Command4->setText(QStringLiteral("&Check"));
    Command5->setText(QStringLiteral("&Update"));
    Label2->setText(QStringLiteral("Click\"Check\" button"));
    Command4->show();
    Command5->hide();
    Command1->hide();
    Label8->hide();
    Label1->setText(QStringLiteral("Current version ") + currentVersion());
    Label4->hide();
    Label5->hide();
    Label6->hide();

    if (!ok) {
        // Nothing can be checked while old files stand in the way.
        Label1->setText(QStringLiteral("Some files are lost."));
        Label2->setText(QStringLiteral("Please reinstall this software, then update it"));
        for (QWidget* w : {static_cast<QWidget*>(Command4), static_cast<QWidget*>(Label5),
                           static_cast<QWidget*>(Label6), static_cast<QWidget*>(Label40),
                           static_cast<QWidget*>(Label4)})
            w->hide();
    }
}

void updatewin::Inet3_StateChanged(int state) {
    const QString text = stateText(state);
    if (!text.isEmpty())
        Label2->setText(text);
}

void updatewin::Inet4_StateChanged(int state) {
    const QString text = stateText(state);
    if (text.isEmpty())
        return;
    (state == icNone ? Label1 : Label2)->setText(text);
}

// ---- Check ----

void updatewin::Command4_Click() {
    if (Inet3->busy() || Inet4->busy())
        return;
    m_checkRefused = false;
    if (!serverAllowed(m_options.server)) {
        qWarning().noquote() << "update: refused server" << m_options.server.toString();
        checkFailed();
        return;
    }
    Command4->setEnabled(false);
    Inet3->get(serverFile(m_options.server, kVersionFilePath));
}

void updatewin::checkEnded(Inet::Outcome outcome, QNetworkReply* reply) {
    const bool hadFocus = focusWidget() == nullptr || !focusWidget()->isEnabled();
    Command4->setEnabled(!Inet4->busy());
    if (hadFocus && Command4->isEnabled() && isActiveWindow())
        Command4->setFocus();
    if (outcome == Inet::Outcome::Cancelled && !m_checkRefused)
        return; // Update or Close cancelled it
    if (outcome != Inet::Outcome::Done) {
        checkFailed();
        return;
    }
    const QByteArray bytes = reply->readAll();
    QString error;
    if (bytes.size() > kVersionFileLimit || !writeFileAtomically(versionFile(), bytes, &error)) {
        if (!error.isEmpty())
            qWarning().noquote() << "update: newversion.ini:" << error;
        checkFailed();
        return;
    }
    NewVersionText = firstLine(readWholeFile(versionFile()));
    const auto newer = versionHundredths(NewVersionText);
    const auto current = versionHundredths(Label1->text().right(4));
    // A page that is no version file (an error page, garbage) is a failure, not
    // version 0.
    if (!newer || !current) {
        qInfo().noquote() << "update: the version file does not start with a version number";
        checkFailed();
        return;
    }
    if (*current >= *newer) {
        Label5->setText(QStringLiteral("No new version"));
        Label5->show();
        return;
    }
    Label5->setText(QStringLiteral("Found new version ") + NewVersionText);
    Label6->setText(QStringLiteral("Click \"Update\" button"));
    Command5->show();
    Command1->show();
    Label5->show();
    Label6->show();
    Label8->show();
}

void updatewin::checkFailed() {
    platform::removeFile(versionFile());
    Inet3->Cancel();
    reportFailure();
}

void updatewin::reportFailure() {
    // After the transfer's own handler has returned: the message box may run
    // events of its own.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_services.dialogs.message({.text = kCheckFailed,
                                        .title = kUpdateCaption,
                                        .buttons = platform::MessageButtons::Ok},
                                       this);
        },
        Qt::QueuedConnection);
}

// ---- Download ----

void updatewin::Command5_Click() {
    if (Inet4->busy())
        return;
    DownloadState = 1;
    Inet3->Cancel();
    Command4->setEnabled(false);
    Command5->setEnabled(false);
    Label4->resize(0, kFrameHeight);
    Label4->show();
    Label20->clear();
    DownloadLength = 0;
    m_written = 0;
    m_downloadRefused = false;

    dropPartial();
    const bool ready = skipOnError("installer file", [&] {
        require(platform::removeFile(installerFile()), "tempsetup.exe cannot be removed");
        m_partial.setFileName(partialFile());
        require(m_partial.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                               QFileDevice::ReadOwner | QFileDevice::WriteOwner),
                "the download cannot be written");
    });
    if (!ready || !serverAllowed(m_options.server)) {
        downloadFailed();
        return;
    }
    Inet4->get(serverFile(m_options.server, kInstallerPath), true);
}

void updatewin::downloadHeaders() {
    QNetworkReply* reply = Inet4->reply();
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299)
        return; // the end fails it
    Label2->setText(stateText(icResponseCompleted));
    const auto length = contentLength(reply->rawHeader("Content-Length"));
    if (!length) {
        // Without a length the download can never be checked as complete, so it
        // could never be started: stop here rather than download in vain.
        qInfo() << "update: the installer comes without a usable Content-Length";
        m_downloadRefused = true;
        Inet4->Cancel();
        return;
    }
    DownloadLength = *length;
}

void updatewin::downloadData() {
    if (QNetworkReply* reply = Inet4->reply(); reply && !writePieces(reply, false)) {
        m_downloadRefused = true;
        Inet4->Cancel();
    }
}

bool updatewin::writePieces(QNetworkReply* reply, bool all) {
    while (reply->bytesAvailable() >= kPieceSize || (all && reply->bytesAvailable() > 0)) {
        const QByteArray piece = reply->read(kPieceSize);
        if (piece.isEmpty())
            break;
        if (!m_partial.isOpen() || m_partial.write(piece) != piece.size()) {
            qWarning().noquote() << "update: cannot write the download:" << m_partial.errorString();
            return false;
        }
        m_written += piece.size();
        if (DownloadLength > 0) {
            const qint64 bar = std::min<qint64>(100, m_written * 100 / DownloadLength);
            showProgress(percentText(m_written, DownloadLength), int(bar));
        }
    }
    return true;
}

void updatewin::showProgress(const QString& percent, int barPercent) {
    Label20->setText(percent);
    Label4->resize(Label40->width() * barPercent / 100, kFrameHeight);
}

bool updatewin::finishFile() {
    if (!m_partial.isOpen() || !m_partial.flush() || ::fsync(m_partial.handle()) != 0)
        return false;
    m_partial.close();
    if (m_partial.error() != QFileDevice::NoError ||
        platform::fileSize(partialFile()) != DownloadLength)
        return false;
    // Executable only now that it is whole, and under its final name only then.
    if (!QFile::setPermissions(partialFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner))
        return false;
    return std::rename(QFile::encodeName(partialFile()).constData(),
                       QFile::encodeName(installerFile()).constData()) == 0;
}

void updatewin::downloadEnded(Inet::Outcome outcome, QNetworkReply* reply) {
    if (DownloadState == 100) {
        downloadStopped();
        return;
    }
    if (outcome == Inet::Outcome::Cancelled && !m_downloadRefused) {
        downloadCancelled();
        return;
    }
    if (outcome != Inet::Outcome::Done || m_downloadRefused || !writePieces(reply, true)) {
        downloadFailed();
        return;
    }
    // The length of the answer that arrived (after any redirect on the same host).
    const auto length = contentLength(reply->rawHeader("Content-Length"));
    if (!length || *length != m_written) {
        qInfo() << "update: the installer arrived with" << m_written << "of"
                << (length ? *length : -1) << "bytes";
        downloadFailed();
        return;
    }
    DownloadLength = *length;
    if (!finishFile()) {
        qWarning() << "update: the download could not be completed on disk";
        downloadFailed();
        return;
    }
    showProgress(QStringLiteral("100%"), 100);
    Command4->setEnabled(true);
    Command5->setEnabled(true);
    const auto pid = m_services.processes.start(installerFile(), {}, platform::WindowMode::Normal);
    if (!pid) {
        m_services.dialogs.message({.text = QStringLiteral("The update package could not be "
                                                           "started: ") +
                                            installerFile(),
                                    .title = kUpdateCaption},
                                   this);
        return;
    }
    UpdateMayClose = true;
    emit installerStarted(*pid);
    // The end unloads this window: run it after this handler has returned.
    app::Reader* reader = &m_reader;
    QTimer::singleShot(0, QCoreApplication::instance(), [reader] { reader->exitAll(); });
}

void updatewin::downloadStopped() {
    dropPartial();
    Label20->setText(QStringLiteral("0%"));
    Label4->resize(kStoppedBarWidth, kFrameHeight);
    Label4->hide();
    Command4->setEnabled(true);
    Command5->setEnabled(true);
}

void updatewin::downloadCancelled() {
    dropPartial();
    Label20->clear();
    Label4->hide();
    Command4->setEnabled(true);
    Command5->setEnabled(true);
}

void updatewin::downloadFailed() {
    downloadCancelled();
    reportFailure();
}

void updatewin::dropPartial() {
    if (m_partial.isOpen())
        m_partial.close();
    platform::removeFile(partialFile());
}

// ---- Stop and Close ----

void updatewin::Command1_Click() {
    DownloadState = 100;
    Inet4->Cancel();
}

void updatewin::Command8_Click() {
    UpdateMayClose = true;
    Inet4->Cancel();
    Inet3->Cancel();
    close();
}

void updatewin::closeEvent(QCloseEvent* event) {
    platform::removeFile(versionFile());
    if (!UpdateMayClose && !m_program.ExitRequested) {
        event->ignore();
        return;
    }
    Inet4->Cancel();
    Inet3->Cancel();
    event->accept();
}

std::function<void()> quickMenuCloser(app::Windows& windows) {
    return [&windows] {
        if (QWidget* menu = windows.find(app::WindowId::QuickMenu))
            menu->close(); // deleted later: the window list opens windows to delete on close
    };
}

void registerUpdate(app::Windows& windows, app::Services& services, app::Program& program,
                    app::Reader& reader) {
    windows.registerWindow(app::WindowId::Update, [&windows, &services, &program, &reader] {
        UpdateOptions options;
        options.server = updateServer(QUrl(app::kMakerSite), qgetenv("SONOREL_UPDATE_SERVER"));
        options.closeQuickMenu = quickMenuCloser(windows);
        return new updatewin(services, program, reader, std::move(options));
    });
}

} // namespace sonorel::update
