#pragma once
// A small HTTP server in the test process, on a loopback address: each path gets
// a scripted answer, which may be cut short, sent without its length, or held
// open without a further byte. It records every path asked.

#include <memory>
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace sonorel::test {

class LocalHttpServer final : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray reason = "OK";
        QList<QByteArray> headers; // "Name: value"
        QByteArray body;
        bool withLength = true; // a Content-Length header of the whole body
        qint64 send = -1;       // how much of the body goes out; -1: all of it
        bool hold = false;      // then nothing more, and the connection stays open
        bool silent = false;    // not even the status line
    };

    static Answer file(QByteArray body) {
        Answer a;
        a.body = std::move(body);
        return a;
    }
    static Answer withoutLength(QByteArray body) {
        Answer a = file(std::move(body));
        a.withLength = false;
        return a;
    }
    static Answer truncated(QByteArray body, qint64 send) {
        Answer a = file(std::move(body));
        a.send = send;
        return a;
    }
    static Answer stalling(QByteArray body, qint64 send) {
        Answer a = truncated(std::move(body), send);
        a.hold = true;
        return a;
    }
    static Answer silent() {
        Answer a;
        a.silent = true;
        return a;
    }
    static Answer status(int code, QByteArray reason, QByteArray body) {
        Answer a = file(std::move(body));
        a.status = code;
        a.reason = std::move(reason);
        return a;
    }
    static Answer redirect(const QUrl& to) {
        Answer a = status(302, "Found", "moved");
        a.headers = {"Location: " + to.toEncoded()};
        return a;
    }

    explicit LocalHttpServer(const QHostAddress& address = QHostAddress::LocalHost);
    // An HTTPS server on 127.0.0.1 with `tls` (its certificate and key).
    explicit LocalHttpServer(const QSslConfiguration& tls);
    bool listening() const { return m_server->isListening(); }
    QUrl url() const; // http(s)://address:port, no path
    // Closes the listening socket, so that connections are refused.
    void closeListening() { m_server->close(); }

    void route(const QByteArray& path, Answer answer) { m_routes.insert(path, std::move(answer)); }
    QList<QByteArray> requests;     // the paths asked, in order
    QList<QByteArray> requestHeads; // the whole request heads

private:
    void accept();
    void serve(QTcpSocket* socket);

    std::unique_ptr<QTcpServer> m_server;
    bool m_tls = false;
    QHash<QByteArray, Answer> m_routes;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

} // namespace sonorel::test
