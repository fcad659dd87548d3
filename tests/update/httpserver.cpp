#include "httpserver.h"

#include <QSslServer>

namespace sonorel::test {

LocalHttpServer::LocalHttpServer(const QHostAddress& address)
    : m_server(std::make_unique<QTcpServer>()) {
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this,
            &LocalHttpServer::accept);
    m_server->listen(address, 0);
}

LocalHttpServer::LocalHttpServer(const QSslConfiguration& tls) : m_tls(true) {
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(tls);
    m_server = std::move(server);
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this,
            &LocalHttpServer::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url() const {
    QUrl url;
    url.setScheme(m_tls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(m_server->serverAddress().toString());
    url.setPort(m_server->serverPort());
    return url;
}

void LocalHttpServer::accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LocalHttpServer::serve(QTcpSocket* socket) {
    QByteArray& head = m_pending[socket];
    head += socket->readAll();
    if (!head.contains("\r\n\r\n"))
        return;
    const QByteArray request = head;
    m_pending.remove(socket);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = words.size() > 1 ? words[1] : QByteArray();
    requests << path;
    requestHeads << request;
    const Answer answer = m_routes.value(path, status(404, "Not Found", "<html>404</html>"));
    if (answer.silent)
        return; // holds the connection without a byte
    QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + answer.reason + "\r\n";
    for (const QByteArray& header : answer.headers)
        out += header + "\r\n";
    if (answer.withLength)
        out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += answer.send < 0 ? answer.body : answer.body.left(answer.send);
    socket->write(out);
    if (!answer.hold)
        socket->disconnectFromHost(); // after the bytes written
}

} // namespace sonorel::test
