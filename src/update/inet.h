#pragma once
// One transfer connection of the update window: a GET request whose progress is
// told as the window's state numbers, with a stall guard, so that every request
// ends (done, failed or cancelled) and none can hang the window.

#include "shared/vbtimer.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;

namespace sonorel::update {

// The state numbers the window turns into status texts.
enum InetState : int {
    icNone = 0,
    icResolvingHost = 1,
    icHostResolved = 2,
    icConnecting = 3,
    icConnected = 4,
    icRequesting = 5,
    icRequestSent = 6,
    icReceivingResponse = 7,
    icResponseReceived = 8,
    icDisconnecting = 9,
    icDisconnected = 10,
    icError = 11,
    icResponseCompleted = 12,
};

class Inet final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Done,      // a 2xx answer from the host asked, read to its end
        Failed,    // no connection, an error, a status other than 2xx, another host
        Stalled,   // nothing arrived for the stall time
        Cancelled, // Cancel
    };

    // `stallMs`: how long a request may go without any progress before it fails.
    Inet(QNetworkAccessManager& network, int stallMs, QObject* parent = nullptr);
    ~Inet() override;

    // Starts a GET of `url`; one already running is cancelled first. Redirects are
    // followed only on the same scheme, host and port.
    void get(const QUrl& url, bool identityEncoding = false);
    void Cancel();
    bool busy() const { return m_reply != nullptr; }

    // The running request's answer: its body so far and its headers.
    QNetworkReply* reply() const { return m_reply; }
    QString failure() const { return m_failure; } // why the last request failed
    int stallMs() const { return m_stallMs; }

signals:
    void StateChanged(int state);
    void headersArrived();
    void dataArrived();
    // Once per request, after its last dataArrived; `reply` (no longer the
    // running one) is still readable during the call and deleted later.
    void ended(sonorel::update::Inet::Outcome outcome, QNetworkReply* reply);

private:
    void progress();
    void finish();
    void abortRunning();

    QNetworkAccessManager& m_network;
    int m_stallMs;
    VbTimer m_stall;
    QPointer<QNetworkReply> m_reply;
    QUrl m_asked;
    bool m_cancelling = false, m_stalled = false, m_headers = false;
    QString m_failure;
};

} // namespace sonorel::update
