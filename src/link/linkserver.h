#pragma once
// The command link's server: other processes of the same user hand the reader
// execute strings over a local socket. One string per connection, framed as a
// 4-byte big-endian length and that many UTF-8 bytes, answered with one byte 1.

#include <cstdint>
#include <QObject>
#include <QString>

class QLocalServer;

namespace sonorel::link {

inline constexpr std::uint32_t kLinkMaxFrameBytes = 64u * 1024 * 1024;
inline constexpr char kLinkAcknowledgement = 1;

// Full path of the socket: <folder>/sonorel-<uid>-<service>-<topic>, the folder
// being $XDG_RUNTIME_DIR when set and usable, else the temporary folder (where a
// bare local socket name would go). The uid keeps users apart in a shared /tmp.
QString linkSocketName(const QString& service, const QString& topic);

class LinkServer final : public QObject {
    Q_OBJECT
public:
    explicit LinkServer(QString service = QStringLiteral("sorel"),
                        QString topic = QStringLiteral("FormDDE"), QObject* parent = nullptr);
    ~LinkServer() override;

    // Listens with access for this user only. Replaces whatever socket file is at
    // the name, a running server's included: elect through InstanceGuard first.
    bool listen();
    bool isListening() const;
    QString socketName() const { return m_name; }
    QString errorString() const { return m_error; }

    // A client that sends nothing for this long is dropped; <= 0 never drops.
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }
    int idleTimeout() const { return m_idleTimeoutMs; }

signals:
    // One complete string from a client, on this object's thread. The client is
    // acknowledged once the receivers return, whatever they made of it.
    void execute(const QString& command);

private:
    void acceptConnections();

    QString m_name;
    QLocalServer* m_server;
    QString m_error;
    int m_idleTimeoutMs = 10'000;
};

} // namespace sonorel::link
