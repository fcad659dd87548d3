#pragma once
// The command link's client side: hands one execute string to the reader that
// serves the link and waits for its acknowledgement. Blocking; any thread.

#include <QString>

namespace sonorel::link {

// Connects, sends `message` as one frame and waits for the acknowledgement, all
// within `timeoutMs` (negative: no limit). False at once when nobody listens
// (no socket file, or one left behind by a server that died), when the socket
// is served by another user, or when the message exceeds the frame limit.
bool linkAndSendMessage(const QString& message, int timeoutMs = 5000,
                        const QString& service = QStringLiteral("sorel"),
                        const QString& topic = QStringLiteral("FormDDE"));

enum class LinkProbe {
    Answered, // a server of this user accepted a connection
    Absent,   // no socket file, or nobody behind it: listening there is safe
    Unusable, // anything else: another user's server, no access, no answer in time
};

// Connects to the socket at `socketName` (a full path) and hangs up without
// sending anything.
LinkProbe probeLink(const QString& socketName, int timeoutMs);

} // namespace sonorel::link
