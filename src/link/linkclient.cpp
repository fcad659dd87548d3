#include "link/linkclient.h"

#include "link/linkserver.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QtEndian>
#include <sys/socket.h>
#include <unistd.h>

namespace sonorel::link {

namespace {

int remaining(const QDeadlineTimer& deadline) {
    return deadline.isForever() ? -1 : int(deadline.remainingTime());
}

// In a shared temporary folder another user could have put a socket of their own
// at our name; such a server never gets to see what we send.
bool servedByThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
               0 &&
           peer.uid == ::geteuid();
}

LinkProbe connectToLink(QLocalSocket& socket, const QString& socketName,
                        const QDeadlineTimer& deadline) {
    // Refused and missing sockets fail inside connectToServer(), so the wait
    // below returns at once and nobody waits out the time-out for a dead link.
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(remaining(deadline))) {
        const auto error = socket.error();
        socket.abort();
        return error == QLocalSocket::ServerNotFoundError ||
                       error == QLocalSocket::ConnectionRefusedError
                   ? LinkProbe::Absent
                   : LinkProbe::Unusable;
    }
    if (!servedByThisUser(socket)) {
        socket.abort();
        return LinkProbe::Unusable;
    }
    return LinkProbe::Answered;
}

} // namespace

LinkProbe probeLink(const QString& socketName, int timeoutMs) {
    QLocalSocket socket;
    return connectToLink(socket, socketName, QDeadlineTimer(timeoutMs));
}

bool linkAndSendMessage(const QString& message, int timeoutMs, const QString& service,
                        const QString& topic) {
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray body = message.toUtf8();
    if (std::uint64_t(body.size()) > kLinkMaxFrameBytes)
        return false;

    QLocalSocket socket;
    if (connectToLink(socket, linkSocketName(service, topic), deadline) != LinkProbe::Answered)
        return false;

    QByteArray frame(4, Qt::Uninitialized);
    qToBigEndian<std::uint32_t>(std::uint32_t(body.size()), frame.data());
    frame += body;
    if (socket.write(frame) != frame.size())
        return false;
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remaining(deadline)))
            return false;
    // The server hangs up right after its answer; what arrived before stays readable.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(remaining(deadline)))
            break;
    char answer = 0;
    return socket.getChar(&answer) && answer == kLinkAcknowledgement;
}

} // namespace sonorel::link
