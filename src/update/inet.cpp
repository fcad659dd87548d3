#include "update/inet.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace sonorel::update {

Inet::Inet(QNetworkAccessManager& network, int stallMs, QObject* parent)
    : QObject(parent), m_network(network), m_stallMs(stallMs > 0 ? stallMs : 1) {
    connect(&m_stall, &VbTimer::timeout, this, [this] {
        m_stalled = true;
        m_failure = QStringLiteral("nothing arrived for %1 ms").arg(m_stallMs);
        abortRunning();
    });
}

Inet::~Inet() {
    if (QNetworkReply* reply = m_reply.data()) {
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
}

void Inet::get(const QUrl& url, bool identityEncoding) {
    Cancel();
    m_cancelling = m_stalled = m_headers = false;
    m_failure.clear();
    m_asked = url;

    QNetworkRequest request(url);
    // Only where we asked: a redirect to another host, port or scheme fails.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    if (identityEncoding) // so that Content-Length counts the bytes we get
        request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;

    connect(reply, &QNetworkReply::socketStartedConnecting, this, [this] {
        progress();
        emit StateChanged(icHostResolved);
        emit StateChanged(icConnecting);
    });
    connect(reply, &QNetworkReply::requestSent, this, [this] {
        progress();
        for (int state : {icConnected, icRequesting, icRequestSent, icReceivingResponse})
            emit StateChanged(state);
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        progress();
        if (m_headers)
            return;
        m_headers = true;
        emit StateChanged(icResponseReceived);
        emit headersArrived();
    });
    connect(reply, &QNetworkReply::readyRead, this, [this] {
        progress();
        emit dataArrived();
    });
    connect(reply, &QNetworkReply::finished, this, &Inet::finish);

    m_stall.setInterval(m_stallMs);
    emit StateChanged(icResolvingHost);
}

void Inet::Cancel() {
    if (!m_reply)
        return;
    m_cancelling = true;
    abortRunning();
}

void Inet::abortRunning() {
    QNetworkReply* reply = m_reply.data();
    if (!reply)
        return;
    reply->abort();
    // abort() normally finishes the reply at once; make sure it counts as ended.
    if (m_reply == reply)
        finish();
}

void Inet::progress() {
    m_stall.setInterval(m_stallMs); // the stall count starts again
}

void Inet::finish() {
    QNetworkReply* reply = m_reply.data();
    if (!reply)
        return;
    disconnect(reply, nullptr, this, nullptr);
    m_reply = nullptr;
    m_stall.setInterval(0);

    Outcome outcome = Outcome::Done;
    if (m_cancelling) {
        outcome = Outcome::Cancelled;
    } else if (m_stalled) {
        outcome = Outcome::Stalled;
    } else if (reply->error() != QNetworkReply::NoError) {
        outcome = Outcome::Failed;
        m_failure = reply->errorString();
    } else {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl at = reply->url();
        if (status < 200 || status > 299) {
            outcome = Outcome::Failed;
            m_failure = QStringLiteral("HTTP status %1").arg(status);
        } else if (at.scheme() != m_asked.scheme() || at.host() != m_asked.host() ||
                   at.port() != m_asked.port()) {
            outcome = Outcome::Failed;
            m_failure = QStringLiteral("answered from ") + at.toString();
        }
    }
    if (outcome == Outcome::Failed || outcome == Outcome::Stalled)
        qInfo().noquote() << "update:" << m_asked.toString() << "failed:" << m_failure;

    if (outcome == Outcome::Done || (outcome == Outcome::Failed && m_headers))
        emit StateChanged(icResponseCompleted);
    else if (outcome != Outcome::Cancelled)
        emit StateChanged(icError);
    emit ended(outcome, reply);
    reply->deleteLater();
}

} // namespace sonorel::update
