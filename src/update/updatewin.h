#pragma once
// The update window: asks the maker's web server for the newest version number,
// and on request downloads the installer, starts it and ends the program so that
// the installer can replace it.
//
// Two transfer connections: Inet3 fetches the version file, Inet4 the installer.
// Both are asynchronous; the window never waits inside an event loop of its own.

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "update/inet.h"

#include <functional>
#include <QFile>
#include <QNetworkAccessManager>
#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;

namespace sonorel::app {
class Windows;
} // namespace sonorel::app

namespace sonorel::update {

inline const QString kUpdateCaption = QStringLiteral("Update Online----Sonorel");
inline const QString kCheckFailed = QStringLiteral(
    "Sorry, maybe you do not connect to Internet or an error has occurred on the author's "
    "website, please try after a while");
inline const QString kVersionFilePath = QStringLiteral("/Sonorel/update/updateinfo.ini");
inline const QString kInstallerPath = QStringLiteral("/Sonorel/update/updatec.exe");
inline constexpr int kPieceSize = 1024;
inline constexpr int kDefaultStallMs = 15000;
// A version file larger than this is not one.
inline constexpr qint64 kVersionFileLimit = 64 * 1024;

// The state texts, by state number (0 to 12); empty for any other number.
QString stateText(int state);

struct UpdateOptions {
    QUrl server;                          // scheme, host and port of the update server
    int stallMs = kDefaultStallMs;        // a request without progress this long fails
    std::function<void()> closeQuickMenu; // loading the window closes the quick menu
};

class updatewin final : public QWidget {
    Q_OBJECT
public:
    updatewin(app::Services& services, app::Program& program, app::Reader& reader,
              UpdateOptions options, QWidget* parent = nullptr);

    void Form_Load();
    void Command4_Click(); // &Check
    void Command5_Click(); // &Update
    void Command1_Click(); // &Stop
    void Command8_Click(); // C&lose
    void Inet3_StateChanged(int state);
    void Inet4_StateChanged(int state);

    // The version shown as current: the last four characters of the version text.
    static QString currentVersion();

    QString NewVersionText;
    qint64 DownloadLength = 0; // 0: the server gave no usable length
    int DownloadState = 1;     // 1 while a download may complete, 100 after Stop
    bool UpdateMayClose = false;

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label8 = nullptr, *Label20 = nullptr, *Label40 = nullptr;
    QPushButton *Command4 = nullptr, *Command5 = nullptr, *Command1 = nullptr, *Command8 = nullptr;
    Inet *Inet3 = nullptr, *Inet4 = nullptr;

    QString versionFile() const;   // newversion.ini
    QString installerFile() const; // tempsetup.exe
    QString partialFile() const;   // the download until it is complete and checked
    qint64 bytesWritten() const { return m_written; }

signals:
    // The downloaded installer was started; the program ends next.
    void installerStarted(qint64 pid);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void checkEnded(Inet::Outcome outcome, QNetworkReply* reply);
    void checkFailed();
    void downloadHeaders();
    void downloadData();
    void downloadEnded(Inet::Outcome outcome, QNetworkReply* reply);
    bool writePieces(QNetworkReply* reply, bool all);
    bool finishFile();
    void downloadFailed();
    void downloadStopped();
    void downloadCancelled();
    void dropPartial();
    void reportFailure();
    void showProgress(const QString& percent, int barPercent);

    app::Services& m_services;
    app::Program& m_program;
    app::Reader& m_reader;
    UpdateOptions m_options;
    QNetworkAccessManager m_network;
    QFile m_partial;
    qint64 m_written = 0;
    bool m_checkRefused = false;    // the version file was cut off as too large
    bool m_downloadRefused = false; // no usable length, or the file could not be written
};

// Closes the quick menu of `windows` if it is open. The menu goes when control
// is back in the event loop, since the update window may be opened from one of
// the menu's own handlers.
std::function<void()> quickMenuCloser(app::Windows& windows);

// Registers the update window; loading it closes the quick menu of `windows`.
// The server is the maker's, or SONOREL_UPDATE_SERVER when that names this machine.
void registerUpdate(app::Windows& windows, app::Services& services, app::Program& program,
                    app::Reader& reader);

} // namespace sonorel::update
