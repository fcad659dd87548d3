#pragma once
// One reader per user: the first copy serves the command link, later copies hand
// it their command line and end.

#include "link/linkserver.h"

#include <memory>
#include <QString>

namespace sonorel::link {

class InstanceGuard {
public:
    enum class Role { First, Second };

    explicit InstanceGuard(QString service = QStringLiteral("sorel"),
                           QString topic = QStringLiteral("FormDDE"));
    ~InstanceGuard();

    // Second when a server of this user answers on the link. Otherwise First, and
    // this copy now serves the link, unless that failed (takeServer() is then
    // null and errorString() says why): it runs alone, without a link.
    Role claim();

    // The First copy's listening server; null for a Second copy.
    std::unique_ptr<LinkServer> takeServer();
    QString errorString() const { return m_error; }

private:
    QString m_service;
    QString m_topic;
    std::unique_ptr<LinkServer> m_server;
    QString m_error;
};

} // namespace sonorel::link
