// The update window against a real HTTP server on this machine: the check and
// its version comparison, every way a check or a download can fail, Stop, the
// stall time-out, and the start of a complete installer followed by the
// program's orderly end. The process launcher is a recording double, except
// once, where a downloaded script really runs.

#include "app/readerfixture.h"
#include "httpserver.h"
#include "update/updatewin.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;
using update::updatewin;

namespace {

const QByteArray kVersionPath = "/Sonorel/update/updateinfo.ini";
const QByteArray kInstallerPath = "/Sonorel/update/updatec.exe";
const QString kFailure = QStringLiteral(
    "Sorry, maybe you do not connect to Internet or an error has occurred on the author's "
    "website, please try after a while");

// A body that is not all one byte, so a piece lost or doubled shows.
QByteArray installerBytes(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 1024) & 0xff);
    return bytes;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class UpdateTest : public ReaderTest {
protected:
    void SetUp() override {
        ReaderTest::SetUp();
        ASSERT_TRUE(start());
        ASSERT_TRUE(server.listening());
    }

    // The window on `server`, made the way the window list makes windows.
    updatewin& open(int stallMs = 10000) {
        update::UpdateOptions options;
        options.server = server.url();
        options.stallMs = stallMs;
        options.closeQuickMenu = update::quickMenuCloser(windows);
        windows.registerWindow(app::WindowId::Update, [this, options] {
            return new updatewin(*services, program, *w, options);
        });
        windows.show(app::WindowId::Update);
        return *static_cast<updatewin*>(windows.find(app::WindowId::Update));
    }

    // The keyboard goes to `win`, as the window system would give it.
    static void activate(updatewin& win) {
        QApplication::setActiveWindow(&win);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&win));
    }
    // Check and wait until it has ended one way or the other.
    void check(updatewin& win) {
        win.Command4->click();
        ASSERT_TRUE(spinUntil([&] { return !win.Inet3->busy(); }, 20000));
        spinFor(20); // the failure message comes after the transfer's handler
    }
    void download(updatewin& win) {
        win.Command5->click();
        ASSERT_TRUE(spinUntil([&] { return !win.Inet4->busy(); }, 20000));
        spinFor(20);
    }

    QStringList messageTexts() const {
        QStringList texts;
        for (const platform::MessageSpec& m : dialogs.messages)
            texts << m.text;
        return texts;
    }
    bool failedOnce() const {
        return dialogs.messages.size() == 1 && dialogs.messages[0].text == kFailure &&
               dialogs.messages[0].title == "Update Online----Sonorel" &&
               dialogs.messages[0].buttons == platform::MessageButtons::Ok;
    }

    // A window after a check that found version 1.69.
    updatewin& openWithNewVersion(int stallMs = 10000) {
        server.route(kVersionPath, LocalHttpServer::file("1.69\r\n"));
        updatewin& win = open(stallMs);
        check(win);
        EXPECT_TRUE(win.Command5->isVisible());
        return win;
    }
    // Nothing of a download is left and nothing was started.
    void expectNothingStarted(updatewin& win) {
        EXPECT_TRUE(processes.started.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(win.installerFile()));
        EXPECT_FALSE(QFileInfo::exists(win.partialFile()));
        EXPECT_FALSE(exited);
        EXPECT_TRUE(win.Command4->isEnabled());
        EXPECT_TRUE(windows.isOpen(app::WindowId::Update));
    }

    LocalHttpServer server;
};

TEST_F(UpdateTest, LoadingRemovesOldFilesAndClosesTheQuickMenu) {
    QFile(path("tempsetup.exe")).open(QIODevice::WriteOnly);
    QFile(path("tempsetup.exe.part")).open(QIODevice::WriteOnly);
    QFile(path("newversion.ini")).open(QIODevice::WriteOnly);
    windows.show(app::WindowId::QuickMenu);
    ASSERT_TRUE(windows.isOpen(app::WindowId::QuickMenu));

    QWidget* menu = windows.find(app::WindowId::QuickMenu);
    updatewin& win = open();
    EXPECT_FALSE(menu->isVisible());
    EXPECT_FALSE(QFileInfo::exists(path("tempsetup.exe")));
    EXPECT_FALSE(QFileInfo::exists(path("tempsetup.exe.part")));
    EXPECT_FALSE(QFileInfo::exists(path("newversion.ini")));

    EXPECT_EQ(win.windowTitle(), "Update Online----Sonorel");
    EXPECT_EQ(win.Label1->text(), "Current version 1.68");
    EXPECT_EQ(win.Label2->text(), "Click\"Check\" button");
    EXPECT_EQ(win.Command4->text(), "&Check");
    EXPECT_EQ(win.Command5->text(), "&Update");
    EXPECT_TRUE(win.Command4->isVisible());
    EXPECT_TRUE(win.Command8->isVisible());
    for (QWidget* hidden :
         {static_cast<QWidget*>(win.Command5), static_cast<QWidget*>(win.Command1),
          static_cast<QWidget*>(win.Label4), static_cast<QWidget*>(win.Label5),
          static_cast<QWidget*>(win.Label6), static_cast<QWidget*>(win.Label8)})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_EQ(win.Label20->text(), "");
}

TEST_F(UpdateTest, FilesThatCannotBeRemovedStopEveryCheck) {
    // A folder with something in it where the old installer would be.
    ASSERT_TRUE(QDir(path()).mkpath("tempsetup.exe/inside"));
    updatewin& win = open();
    EXPECT_EQ(win.Label1->text(), "Some files are lost.");
    EXPECT_EQ(win.Label2->text(), "Please reinstall this software, then update it");
    EXPECT_FALSE(win.Command4->isVisible());
    EXPECT_FALSE(win.Label40->isVisible());
    EXPECT_TRUE(win.Command8->isVisible());
}

TEST_F(UpdateTest, TheCloseBoxIsRefusedWhileTheWindowIsOpen) {
    updatewin& win = open();
    QFile(win.versionFile()).open(QIODevice::WriteOnly);
    EXPECT_FALSE(win.close());
    EXPECT_TRUE(win.isVisible());
    EXPECT_TRUE(windows.isOpen(app::WindowId::Update));
    EXPECT_FALSE(QFileInfo::exists(win.versionFile())); // deleted all the same

    QFile(win.versionFile()).open(QIODevice::WriteOnly);
    activate(win);
    QTest::keyClick(win.windowHandle(), Qt::Key_L, Qt::AltModifier); // C&lose
    EXPECT_TRUE(spinUntil([&] { return !windows.isOpen(app::WindowId::Update); }));
    EXPECT_FALSE(QFileInfo::exists(path("newversion.ini")));
}

TEST_F(UpdateTest, TheProgramsEndClosesTheWindowAllTheSame) {
    open();
    w->exitAll();
    EXPECT_TRUE(exited);
    EXPECT_FALSE(windows.isOpen(app::WindowId::Update));
}

TEST_F(UpdateTest, EscapeIsTheCloseButtonAndTabFollowsTheButtons) {
    updatewin& win = openWithNewVersion();
    activate(win);
    win.Command4->setFocus();
    QTest::keyClick(win.Command4, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), win.Command5);
    QTest::keyClick(win.Command5, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), win.Command1);
    QTest::keyClick(win.Command1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), win.Command8);
    for (QWidget* control :
         {static_cast<QWidget*>(win.Command4), static_cast<QWidget*>(win.Command5),
          static_cast<QWidget*>(win.Command1), static_cast<QWidget*>(win.Command8),
          static_cast<QWidget*>(win.Label40)}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty());
    }
    QTest::keyClick(win.windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(spinUntil([&] { return !windows.isOpen(app::WindowId::Update); }));
}

TEST_F(UpdateTest, VersionsCompareAsHundredthsOfTheFirstLine) {
    struct Case {
        QByteArray file;
        QString result;
        bool newer;
    };
    const Case cases[] = {
        {"1.68\r\n", "No new version", false},
        {"1.67", "No new version", false},
        {"1.69", "Found new version 1.69", true},
        {"1.70 beta\r\nsecond line 9.99\r\n", "Found new version 1.70 beta", true},
        {"1.7\n", "Found new version 1.7", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        server.route(kVersionPath, LocalHttpServer::file(c.file));
        updatewin& win = open();
        check(win);
        EXPECT_TRUE(dialogs.messages.isEmpty()) << messageTexts().join('|').toStdString();
        EXPECT_EQ(server.requests.last(), kVersionPath);
        EXPECT_TRUE(win.Label5->isVisible());
        EXPECT_EQ(win.Label5->text(), c.result);
        EXPECT_EQ(win.Label2->text(), "Request has been handled");
        EXPECT_EQ(readFile(win.versionFile()), c.file); // byte for byte
        EXPECT_EQ(win.Command5->isVisible(), c.newer);
        EXPECT_EQ(win.Command1->isVisible(), c.newer);
        EXPECT_EQ(win.Label8->isVisible(), c.newer);
        EXPECT_EQ(win.Label6->isVisible(), c.newer);
        if (c.newer) {
            EXPECT_EQ(win.Label6->text(), "Click \"Update\" button");
        }
        EXPECT_TRUE(win.Command4->isEnabled());
        win.Command8->click();
        EXPECT_FALSE(win.isVisible());
        EXPECT_FALSE(QFileInfo::exists(path("newversion.ini")));
        windows.unload(app::WindowId::Update);
    }
}

TEST_F(UpdateTest, EveryFailedCheckEndsInTheFailureMessage) {
    LocalHttpServer elsewhere(QHostAddress("127.0.0.2"));
    ASSERT_TRUE(elsewhere.listening());
    elsewhere.route(kVersionPath, LocalHttpServer::file("1.99"));
    QUrl moved = elsewhere.url();
    moved.setPath(QString::fromLatin1(kVersionPath));

    struct Case {
        const char* what;
        LocalHttpServer::Answer answer;
    };
    const Case cases[] = {
        {"not found", LocalHttpServer::status(404, "Not Found", "1.99 is not here")},
        {"server error", LocalHttpServer::status(500, "Internal Server Error", "1.99")},
        {"a web page", LocalHttpServer::file("<html><body>Parked domain</body></html>")},
        {"garbage", LocalHttpServer::file(QByteArray("\x00\x01\xfe\xff", 4))},
        {"empty", LocalHttpServer::file("")},
        {"too large", LocalHttpServer::file("1.99\n" + QByteArray(200 * 1024, 'x'))},
        {"cut short", LocalHttpServer::truncated("1.99\r\nmore text here", 3)},
        {"another host", LocalHttpServer::redirect(moved)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.messages.clear();
        server.route(kVersionPath, c.answer);
        updatewin& win = open();
        check(win);
        EXPECT_TRUE(failedOnce()) << messageTexts().join('|').toStdString();
        EXPECT_FALSE(win.Label5->isVisible());
        EXPECT_FALSE(win.Command5->isVisible());
        EXPECT_FALSE(QFileInfo::exists(win.versionFile()));
        EXPECT_TRUE(win.Command4->isEnabled());
        windows.unload(app::WindowId::Update);
    }
    EXPECT_TRUE(elsewhere.requests.isEmpty()); // the redirect was never followed
}

TEST_F(UpdateTest, ARedirectOnTheSameServerIsFollowed) {
    QUrl moved = server.url();
    moved.setPath("/mirror/updateinfo.ini");
    server.route(kVersionPath, LocalHttpServer::redirect(moved));
    server.route("/mirror/updateinfo.ini", LocalHttpServer::file("1.69"));
    updatewin& win = open();
    check(win);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(win.Label5->text(), "Found new version 1.69");
}

TEST_F(UpdateTest, NoServerAndAStalledServerEndInTheFailureMessage) {
    {
        LocalHttpServer gone;
        const QUrl url = gone.url();
        gone.closeListening();
        update::UpdateOptions options{.server = url, .stallMs = 10000, .closeQuickMenu = {}};
        updatewin win(*services, program, *w, options);
        QList<int> states;
        QObject::connect(win.Inet3, &update::Inet::StateChanged, &win, [&](int s) { states << s; });
        check(win);
        EXPECT_TRUE(failedOnce());
        EXPECT_EQ(win.Label2->text(), "Unable to Connect to Server");
        EXPECT_EQ(states.first(), 1);
        EXPECT_EQ(states.last(), 11);
        win.UpdateMayClose = true;
    }
    for (const auto& answer :
         {LocalHttpServer::silent(), LocalHttpServer::stalling("1.69\r\n", 2)}) {
        dialogs.messages.clear();
        server.route(kVersionPath, answer);
        updatewin& win = open(300);
        check(win);
        EXPECT_TRUE(failedOnce());
        EXPECT_FALSE(win.Label5->isVisible());
        windows.unload(app::WindowId::Update);
    }
}

TEST_F(UpdateTest, AServerWhoseCertificateIsNotTrustedIsNeverAsked) {
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    // A self-signed certificate that names the server correctly: only the trust
    // is missing.
    const QString key = path("key.pem"), certificate = path("cert.pem");
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                              "-out", certificate, "-days", "2", "-subj", "/CN=127.0.0.1",
                              "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        GTEST_SKIP() << "openssl could not make a certificate";
    QFile keyFile(key), certificateFile(certificate);
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    ASSERT_TRUE(certificateFile.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(&certificateFile, QSsl::Pem));
    tls.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa, QSsl::Pem));
    LocalHttpServer secure(tls);
    ASSERT_TRUE(secure.listening());
    secure.route(kVersionPath, LocalHttpServer::file("1.69"));

    update::UpdateOptions options{.server = secure.url(), .stallMs = 10000, .closeQuickMenu = {}};
    updatewin win(*services, program, *w, options);
    check(win);
    EXPECT_TRUE(failedOnce()) << messageTexts().join('|').toStdString();
    EXPECT_TRUE(secure.requests.isEmpty());
    EXPECT_FALSE(win.Label5->isVisible());
}

TEST_F(UpdateTest, TheStatusLineFollowsTheStatesOfACheck) {
    const QStringList texts = {
        "No available information", "Checking Server's IP",    "Found Server's IP Successfully",
        "Connecting Server",        "Connected Server",        "Requesting Server",
        "Requested Server",         "Waiting Server's Replay", "Received Server' Replay",
        "Disconnecting Server",     "Disconnected Server",     "Unable to Connect to Server",
        "Request has been handled"};
    for (int state = 0; state < texts.size(); ++state)
        EXPECT_EQ(update::stateText(state), texts[state]) << state;
    EXPECT_EQ(update::stateText(13), "");

    server.route(kVersionPath, LocalHttpServer::file("1.68"));
    updatewin& win = open();
    QList<int> states;
    QStringList shown;
    QObject::connect(win.Inet3, &update::Inet::StateChanged, &win, [&](int s) {
        states << s;
        shown << win.Label2->text();
    });
    check(win);
    // In order, from the start to "handled", each shown as it came.
    ASSERT_GE(states.size(), 3);
    EXPECT_EQ(states.first(), 1);
    EXPECT_EQ(states.last(), 12);
    EXPECT_TRUE(std::is_sorted(states.begin(), states.end()));
    EXPECT_TRUE(states.contains(8));
    EXPECT_EQ(win.Label2->text(), "Request has been handled");

    // The download connection's state 0 goes to the version line.
    win.Inet4_StateChanged(0);
    EXPECT_EQ(win.Label1->text(), "No available information");
    win.Inet4_StateChanged(5);
    EXPECT_EQ(win.Label2->text(), "Requesting Server");
}

TEST_F(UpdateTest, ACompleteDownloadStartsTheInstallerAndEndsTheProgram) {
    const QByteArray installer = installerBytes(50 * 1024 + 17);
    server.route(kInstallerPath, LocalHttpServer::file(installer));
    windows.show(app::WindowId::QuickMenu);
    updatewin& win = openWithNewVersion();
    QSignalSpy started(&win, &updatewin::installerStarted);
    const QString file = win.installerFile();
    QString percent;
    bool barFull = false;
    QObject::connect(&win, &updatewin::installerStarted, &win, [&] {
        percent = win.Label20->text();
        barFull = win.Label4->width() == win.Label40->width();
    });
    win.Command5->click();
    ASSERT_TRUE(spinUntil([&] { return exited; }, 20000));

    ASSERT_EQ(processes.started.size(), 1);
    EXPECT_EQ(processes.started[0].program, file);
    EXPECT_TRUE(processes.started[0].arguments.isEmpty());
    EXPECT_EQ(processes.started[0].mode, platform::WindowMode::Normal);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(percent, "100%");
    EXPECT_TRUE(barFull);
    EXPECT_EQ(readFile(file), installer);
    EXPECT_TRUE(QFileInfo(file).isExecutable());
    EXPECT_FALSE(QFileInfo::exists(file + ".part"));
    EXPECT_EQ(server.requests.last(), kInstallerPath);
    EXPECT_FALSE(server.requestHeads.last().contains("gzip")); // lengths count plain bytes
    // The program ended the orderly way: every window unloaded, settings written.
    EXPECT_TRUE(program.ExitRequested);
    EXPECT_FALSE(windows.isOpen(app::WindowId::Update));
    EXPECT_TRUE(QFileInfo::exists(path("stts.ini")));
}

TEST_F(UpdateTest, TheBarAndPercentageFollowThePieces) {
    const QByteArray installer = installerBytes(10 * 1024);
    server.route(kInstallerPath, LocalHttpServer::stalling(installer, 5 * 1024));
    updatewin& win = openWithNewVersion();
    win.Command5->click();
    ASSERT_TRUE(spinUntil([&] { return win.bytesWritten() == 5 * 1024; }));
    EXPECT_EQ(win.DownloadLength, 10 * 1024);
    EXPECT_EQ(win.Label20->text(), "50%");
    // A screen reader reads the percentage itself.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(win.Label20)->text(QAccessible::Name), "50%");
    EXPECT_TRUE(win.Label4->isVisible());
    EXPECT_EQ(win.Label4->width(), win.Label40->width() / 2);
    EXPECT_FALSE(win.Command4->isEnabled());
    // Half a download never stands under the installer's name, nor is executable.
    EXPECT_FALSE(QFileInfo::exists(win.installerFile()));
    EXPECT_TRUE(QFileInfo::exists(win.partialFile()));
    EXPECT_FALSE(QFileInfo(win.partialFile()).isExecutable());
    win.Command1->click();
}

TEST_F(UpdateTest, AnIncompleteOrUncheckedDownloadIsNeverStarted) {
    LocalHttpServer elsewhere(QHostAddress("127.0.0.2"));
    ASSERT_TRUE(elsewhere.listening());
    const QByteArray installer = installerBytes(20 * 1024);
    elsewhere.route(kInstallerPath, LocalHttpServer::file(installer));
    QUrl moved = elsewhere.url();
    moved.setPath(QString::fromLatin1(kInstallerPath));

    LocalHttpServer::Answer notANumber = LocalHttpServer::withoutLength(installer);
    notANumber.headers = {"Content-Length: lots"};
    struct Case {
        const char* what;
        LocalHttpServer::Answer answer;
    };
    const Case cases[] = {
        {"cut short", LocalHttpServer::truncated(installer, 15 * 1024)},
        {"cut short inside a piece", LocalHttpServer::truncated(installer, 20 * 1024 - 1)},
        {"no length", LocalHttpServer::withoutLength(installer)},
        {"length not a number", notANumber},
        {"not found", LocalHttpServer::status(404, "Not Found", installer)},
        {"another host", LocalHttpServer::redirect(moved)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.route(kInstallerPath, c.answer);
        updatewin& win = openWithNewVersion();
        dialogs.messages.clear();
        download(win);
        EXPECT_TRUE(failedOnce()) << messageTexts().join('|').toStdString();
        expectNothingStarted(win);
        EXPECT_FALSE(win.Label4->isVisible());
        windows.unload(app::WindowId::Update);
    }
    EXPECT_TRUE(elsewhere.requests.isEmpty());
}

TEST_F(UpdateTest, StopDuringTheDownloadStartsNothing) {
    const QByteArray installer = installerBytes(100 * 1024);
    server.route(kInstallerPath, LocalHttpServer::stalling(installer, 30 * 1024));
    updatewin& win = openWithNewVersion();
    win.Command5->click();
    ASSERT_TRUE(spinUntil([&] { return win.bytesWritten() > 0; }));
    activate(win);
    QTest::keyClick(win.windowHandle(), Qt::Key_S, Qt::AltModifier); // &Stop
    ASSERT_TRUE(spinUntil([&] { return !win.Inet4->busy(); }));
    spinFor(20);
    EXPECT_EQ(win.DownloadState, 100);
    EXPECT_EQ(win.Label20->text(), "0%");
    EXPECT_FALSE(win.Label4->isVisible());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    expectNothingStarted(win);

    // A new Update after Stop downloads again, and completes.
    server.route(kInstallerPath, LocalHttpServer::file(installer));
    win.Command5->click();
    ASSERT_TRUE(spinUntil([&] { return exited; }, 20000));
    EXPECT_EQ(processes.started.size(), 1);
}

TEST_F(UpdateTest, AStalledDownloadTimesOut) {
    const QByteArray installer = installerBytes(40 * 1024);
    server.route(kInstallerPath, LocalHttpServer::stalling(installer, 8 * 1024));
    updatewin& win = openWithNewVersion(300);
    download(win);
    EXPECT_TRUE(failedOnce());
    expectNothingStarted(win);
}

TEST_F(UpdateTest, AnInstallerThatCannotStartKeepsTheProgramRunning) {
    server.route(kInstallerPath, LocalHttpServer::file(installerBytes(3000)));
    processes.failStarts = true;
    updatewin& win = openWithNewVersion();
    download(win);
    EXPECT_FALSE(exited);
    EXPECT_FALSE(win.UpdateMayClose);
    EXPECT_TRUE(win.Command4->isEnabled());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The update package could not be started"));
}

TEST_F(UpdateTest, TheDownloadedInstallerReallyRuns) {
    const QString marker = path("installer-ran");
    const QByteArray script = "#!/bin/sh\necho \"$0\" > '" + marker.toUtf8() + "'\n";
    server.route(kInstallerPath, LocalHttpServer::file(script));
    server.route(kVersionPath, LocalHttpServer::file("1.69"));
    platform::LinuxProcessLauncher launcher;
    app::Services real = *services;
    app::Services withLauncher{.folder = real.folder,
                               .registry = real.registry,
                               .dialogs = real.dialogs,
                               .clock = real.clock,
                               .processes = launcher,
                               .shell = real.shell,
                               .temp = real.temp,
                               .gen4 = real.gen4,
                               .gen5 = real.gen5,
                               .sinks = real.sinks,
                               .media = real.media};
    auto* win = new updatewin(withLauncher, program, *w,
                              {.server = server.url(), .stallMs = 10000, .closeQuickMenu = {}});
    win->setAttribute(Qt::WA_DeleteOnClose);
    check(*win);
    win->Command5->click();
    ASSERT_TRUE(spinUntil([&] { return QFileInfo::exists(marker); }, 20000));
    EXPECT_EQ(readFile(marker).trimmed(), path("tempsetup.exe").toUtf8());
    ASSERT_TRUE(spinUntil([&] { return exited; }));
    delete win;
}

TEST_F(UpdateTest, TheProgramsWindowListUsesALocalServerFromTheEnvironment) {
    server.route(kVersionPath, LocalHttpServer::file("1.69"));
    ScopedEnv env("SONOREL_UPDATE_SERVER", server.url().toEncoded());
    // The reader's own registration, as the program makes the window.
    windows.show(app::WindowId::QuickMenu);
    QWidget* menu = windows.find(app::WindowId::QuickMenu);
    ASSERT_TRUE(windows.show(app::WindowId::Update));
    EXPECT_FALSE(menu->isVisible());
    auto& win = *static_cast<updatewin*>(windows.find(app::WindowId::Update));
    check(win);
    EXPECT_EQ(server.requests, QList<QByteArray>{kVersionPath});
    EXPECT_EQ(win.Label5->text(), "Found new version 1.69");
}

} // namespace
