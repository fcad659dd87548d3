#include "link/linkserver.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QtEndian>
#include <QTimer>
#include <unistd.h>

namespace sonorel::link {

namespace {

constexpr qint64 kHeaderBytes = 4;

// Names come from our own constants, but a "/" would still move the socket
// elsewhere, so anything unusual in a file name becomes "_".
QString fileNamePart(const QString& text) {
    QString part = text;
    for (QChar& c : part)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'_')
            c = u'_';
    return part;
}

QString socketFolder() {
    // QStandardPaths invents /tmp/runtime-<user> (with a warning) when the variable
    // is missing; the plain temporary folder serves as well and says nothing. It
    // also hands back a folder that does not exist.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
            return runtime;
    }
    return QDir::tempPath();
}

// One client: reads the single frame it may send, hands it over, acknowledges and
// closes. Anything wrong (a silly length, silence, hanging up early) just ends it,
// without a word to the receivers; other clients are served meanwhile.
class LinkConnection final : public QObject {
public:
    LinkConnection(QLocalSocket* socket, int idleTimeoutMs, LinkServer* server)
        : QObject(server), m_socket(socket), m_server(server), m_idleTimeoutMs(idleTimeoutMs) {
        socket->setParent(this);
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, this, &LinkConnection::drop);
        connect(socket, &QLocalSocket::readyRead, this, &LinkConnection::readFrame);
        // A client may send its frame and hang up at once; what arrived still counts.
        connect(socket, &QLocalSocket::disconnected, this, [this] {
            readFrame();
            drop();
        });
        restartIdleTimer();
    }

private:
    void restartIdleTimer() {
        if (m_idleTimeoutMs > 0)
            m_idle.start(m_idleTimeoutMs);
    }

    void readFrame() {
        if (m_dropped || m_delivered)
            return;
        restartIdleTimer();
        if (m_length < 0) {
            if (m_socket->bytesAvailable() < kHeaderBytes)
                return;
            uchar header[kHeaderBytes];
            m_socket->read(reinterpret_cast<char*>(header), kHeaderBytes);
            const std::uint32_t length = qFromBigEndian<std::uint32_t>(header);
            if (length > kLinkMaxFrameBytes) {
                drop();
                return;
            }
            m_length = length;
        }
        m_body += m_socket->read(m_length - m_body.size());
        if (m_body.size() < m_length)
            return;

        m_delivered = true;
        const QString command = QString::fromUtf8(m_body);
        m_body = QByteArray();
        // A receiver may delete the server, and this connection with it, or run a
        // nested event loop in which the client hangs up.
        const QPointer<LinkConnection> alive(this);
        emit m_server->execute(command);
        if (!alive || m_dropped)
            return;
        // Flushed now: a receiver that quits the program must not lose the answer.
        m_socket->write(&kLinkAcknowledgement, 1);
        m_socket->flush();
        m_socket->disconnectFromServer();
    }

    void drop() {
        if (m_dropped)
            return;
        m_dropped = true;
        m_idle.stop();
        m_socket->abort();
        deleteLater();
    }

    QLocalSocket* m_socket;
    LinkServer* m_server;
    QTimer m_idle;
    QByteArray m_body;
    qint64 m_length = -1;
    int m_idleTimeoutMs;
    bool m_delivered = false;
    bool m_dropped = false;
};

} // namespace

QString linkSocketName(const QString& service, const QString& topic) {
    return socketFolder() + QStringLiteral("/sonorel-%1-%2-%3")
                                .arg(::geteuid())
                                .arg(fileNamePart(service), fileNamePart(topic));
}

LinkServer::LinkServer(QString service, QString topic, QObject* parent)
    : QObject(parent), m_name(linkSocketName(service, topic)), m_server(new QLocalServer(this)) {
    connect(m_server, &QLocalServer::newConnection, this, &LinkServer::acceptConnections);
}

LinkServer::~LinkServer() = default;

bool LinkServer::listen() {
    m_error.clear();
    if (m_server->isListening())
        return true;
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        m_error = QStringLiteral("The command link %1 cannot listen: %2")
                      .arg(m_name, m_server->errorString());
        return false;
    }
    return true;
}

bool LinkServer::isListening() const {
    return m_server->isListening();
}

void LinkServer::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection())
        new LinkConnection(socket, m_idleTimeoutMs, this);
}

} // namespace sonorel::link
