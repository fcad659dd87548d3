// link_peer SERVICE EXPECT MESSAGE GATE
// Prints "ready" and waits for a writer to open the FIFO named GATE, which lets
// every waiting copy go at the same instant; then claims the link and prints its
// role. A Second sends MESSAGE and prints "Second sent" (or
// "Second unsent"); the First prints "First" and then "got <command>" for each
// command until it has EXPECT of them.

#include "link/instance.h"
#include "link/linkclient.h"

#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <unistd.h>

using namespace sonorel::link;

namespace {
void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 64;
    const QString service = args[1];
    const int expect = args[2].toInt();

    // Warmed up, so that the copies reach the election at the same pace.
    probeLink(linkSocketName(service + "-warm-up", "FormDDE"), 100);
    say("ready");
    const int gate = ::open(QFile::encodeName(args[4]).constData(), O_RDONLY);
    if (gate < 0)
        return 65;
    ::close(gate);

    InstanceGuard guard(service);
    if (guard.claim() == InstanceGuard::Role::Second) {
        const bool sent = linkAndSendMessage(args[3], 5000, service);
        say(sent ? "Second sent" : "Second unsent");
        return sent ? 0 : 1;
    }
    const auto server = guard.takeServer();
    if (!server) {
        say("First unlinked " + guard.errorString());
        return 2;
    }
    say("First");
    int received = 0;
    QObject::connect(server.get(), &LinkServer::execute, [&](const QString& command) {
        say("got " + command);
        if (++received == expect)
            app.quit();
    });
    QTimer::singleShot(15'000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}
