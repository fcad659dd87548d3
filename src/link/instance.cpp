#include "link/instance.h"

#include "link/linkclient.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLockFile>
#include <QThread>

namespace sonorel::link {

namespace {
constexpr int kProbeTimeoutMs = 2000;
// An election takes milliseconds; a lock held longer belongs to a copy that hangs.
constexpr int kLockWaitMs = 5000;
constexpr int kLockPollMs = 2;
} // namespace

InstanceGuard::InstanceGuard(QString service, QString topic)
    : m_service(std::move(service)), m_topic(std::move(topic)) {}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::Role InstanceGuard::claim() {
    m_server.reset();
    m_error.clear();
    const QString name = linkSocketName(m_service, m_topic);
    if (probeLink(name, kProbeTimeoutMs) == LinkProbe::Answered)
        return Role::Second;

    // Listening replaces a running server's socket without a word, so only one copy
    // at a time may look and then listen. QLockFile takes over the lock of a copy
    // that died holding it. Its own waiting sleeps ever longer, up to seconds, for
    // a lock held a few milliseconds, so this polls.
    QLockFile lock(name + QStringLiteral(".lock"));
    const QDeadlineTimer deadline(kLockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired()) {
            m_error = QStringLiteral("The command link is not served: its lock %1 cannot be "
                                     "taken.")
                          .arg(lock.fileName());
            return Role::First;
        }
        QThread::msleep(kLockPollMs);
    }
    switch (probeLink(name, kProbeTimeoutMs)) {
    case LinkProbe::Answered: // another copy won while we waited for the lock
        return Role::Second;
    case LinkProbe::Unusable:
        m_error = QStringLiteral("The command link is not served: %1 is in use but does not "
                                 "answer, or belongs to another user.")
                      .arg(name);
        return Role::First;
    case LinkProbe::Absent:
        break;
    }
    // A server that was killed leaves its socket file behind.
    QLocalServer::removeServer(name);
    auto server = std::make_unique<LinkServer>(m_service, m_topic);
    if (!server->listen()) {
        m_error = server->errorString();
        return Role::First;
    }
    m_server = std::move(server);
    return Role::First;
}

std::unique_ptr<LinkServer> InstanceGuard::takeServer() {
    return std::move(m_server);
}

} // namespace sonorel::link
