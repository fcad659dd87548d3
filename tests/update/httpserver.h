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

    static Answer file(QByteArray body) { return {.body = std::move(body)}; }
    static Answer withoutLength(QByteArray body) {
        return {.body = std::move(body), .withLength = false};
    }
    static Answer truncated(QByteArray body, qint64 send) {
        return {.body = std::move(body), .send = send};
    }
    static Answer stalling(QByteArray body, qint64 send) {
        return {.body = std::move(body), .send = send, .hold = true};
    }
    static Answer status(int code, QByteArray reason, QByteArray body) {
        return {.status = code, .reason = std::move(reason), .body = std::move(body)};
    }
    static Answer redirect(const QUrl& to) {
        return {.status = 302,
                .reason = "Found",
                .headers = {"Location: " + to.toEncoded()},
                .body = "moved"};
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
