#include "link/linkclient.h"
#include "link/linkserver.h"
#include "linktest.h"
#include "shared/linkcommand.h"

#include <cstring>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::link;
using sonorel::test::msSince;
using sonorel::test::spinUntil;
using sonorel::test::whileServing;
using Clock = std::chrono::steady_clock;

namespace {

QByteArray frame(const QByteArray& body, std::uint32_t length) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(length, bytes.data());
    return bytes + body;
}
QByteArray frame(const QByteArray& body) {
    return frame(body, std::uint32_t(body.size()));
}

sockaddr_un unixAddress(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(),
                std::min<size_t>(native.size(), sizeof address.sun_path - 1));
    return address;
}

// What a killed server leaves: a socket file with nobody behind it.
void leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = unixAddress(path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));
}

class LinkServerTest : public test::LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        // Made here, once the runtime folder is set.
        server = std::make_unique<LinkServer>("linktest");
        ASSERT_TRUE(server->listen()) << server->errorString().toStdString();
        QObject::connect(server.get(), &LinkServer::execute,
                         [this](const QString& command) { received << command; });
    }
    std::unique_ptr<LinkServer> server;
    QStringList received;
};

using LinkClientTest = test::LinkTest;

} // namespace

TEST_F(LinkServerTest, SocketSitsInTheRuntimeFolderUnderUserServiceAndTopic) {
    const QString name = QStringLiteral("sonorel-%1-linktest-FormDDE").arg(::geteuid());
    EXPECT_EQ(server->socketName(), runtimePath() + "/" + name);
    EXPECT_TRUE(QFileInfo(server->socketName()).exists());
    EXPECT_EQ(linkSocketName("a/../b", "t"),
              runtimePath() + QStringLiteral("/sonorel-%1-a_.._b-t").arg(::geteuid()));
    // Without a runtime folder: the temporary folder, where Qt puts bare names.
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(linkSocketName("linktest", "FormDDE"), QDir::tempPath() + "/" + name);
}

TEST_F(LinkServerTest, StringsArriveExactlyAndInOrder) {
    QString long1mb;
    while (long1mb.size() < (1 << 20))
        long1mb += QStringLiteral("Grüße aus Köln, 東京 😀 %1. ").arg(long1mb.size());
    const QStringList messages = {
        QStringLiteral("Grüße 世界 😀 \u00e9\u0301"),
        QString(),
        kLinkToken + kLinkRead,
        makeLinkCommand(kLinkRead, "Hello there."),
        makeLinkCommand(kLinkStop),
        QString::fromUtf8("a\0b\r\n\t", 6),
        long1mb,
        "/home/user/notes.txt",
    };
    const auto acknowledged = whileServing([&] {
        QList<bool> results;
        for (const QString& message : messages)
            results << linkAndSendMessage(message, 5000, "linktest");
        return results;
    });
    EXPECT_EQ(acknowledged, QList<bool>(messages.size(), true));
    ASSERT_EQ(received.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        EXPECT_EQ(received[i], messages[i]) << "message " << i;
}

TEST_F(LinkServerTest, BrokenClientsAreDroppedWithoutEffectAndOthersServed) {
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    const auto rawClient = [&](const QByteArray& bytes) {
        clients.push_back(std::make_unique<QLocalSocket>());
        clients.back()->connectToServer(server->socketName());
        EXPECT_TRUE(clients.back()->waitForConnected(1000));
        clients.back()->write(bytes);
        clients.back()->flush();
        return clients.back().get();
    };
    QLocalSocket* huge = rawClient(frame("x", 0xFFFFFFFFu));
    QLocalSocket* overLimit = rawClient(frame("x", kLinkMaxFrameBytes + 1));
    rawClient(frame("only ten b", 100))->disconnectFromServer();
    rawClient({})->disconnectFromServer();
    rawClient(QByteArray(2, '\0'))->disconnectFromServer();
    rawClient({}); // stays silent, connected
    // One string per connection: what follows the first frame is not read.
    rawClient(frame("first") + frame("second"));
    // Sent without waiting for the answer: the string still counts.
    rawClient(frame("hung up"))->disconnectFromServer();
    ASSERT_TRUE(spinUntil([&] { return received.size() == 2; }))
        << received.join('|').toStdString();

    EXPECT_TRUE(whileServing([] { return linkAndSendMessage("good", 5000, "linktest"); }));
    ASSERT_TRUE(spinUntil([&] {
        return huge->state() == QLocalSocket::UnconnectedState &&
               overLimit->state() == QLocalSocket::UnconnectedState;
    }));
    QCoreApplication::processEvents();
    received.sort();
    EXPECT_EQ(received, QStringList({"first", "good", "hung up"}));
}

TEST_F(LinkServerTest, SilentClientIsDroppedAfterTheIdleTime) {
    server->setIdleTimeout(200);
    QLocalSocket silent;
    silent.connectToServer(server->socketName());
    ASSERT_TRUE(silent.waitForConnected(1000));
    silent.write("\0\0", 2); // half a header, then nothing
    const auto start = Clock::now();
    ASSERT_TRUE(spinUntil([&] { return silent.state() == QLocalSocket::UnconnectedState; }, 3000));
    EXPECT_GE(msSince(start), 150);
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(LinkClientTest, SocketIsClosedToOtherUsers) {
    // Made under umask 0, so only the server's own choice can keep others out.
    const mode_t oldMask = ::umask(0);
    LinkServer open("linktest");
    const bool listening = open.listen();
    ::umask(oldMask);
    ASSERT_TRUE(listening);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(open.socketName()).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 077, 0u) << std::oct << st.st_mode;

    // The folder lets everyone through, so only the socket's own mode is tested.
    ASSERT_EQ(::chmod(QFile::encodeName(runtimePath()).constData(), 0711), 0);
    const sockaddr_un address = unixAddress(open.socketName());
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            ::_exit(1);
        ::_exit(errno == EACCES ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(runtimePath()).constData(), 0700);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: connected, 2: refused for another reason";
}

TEST_F(LinkClientTest, NobodyListeningFailsFast) {
    const QString name = linkSocketName("linktest", "FormDDE");
    auto start = Clock::now();
    EXPECT_FALSE(linkAndSendMessage("x", 5000, "linktest"));
    EXPECT_LT(msSince(start), 1000);

    leaveStaleSocket(name);
    EXPECT_EQ(probeLink(name, 5000), LinkProbe::Absent);
    start = Clock::now();
    EXPECT_FALSE(linkAndSendMessage("x", 5000, "linktest"));
    EXPECT_LT(msSince(start), 1000);
}

TEST_F(LinkClientTest, ServerThatNeverAnswersTimesOut) {
    QLocalServer mute; // accepts, never reads, never answers
    ASSERT_TRUE(mute.listen(linkSocketName("linktest", "FormDDE")));
    const auto start = Clock::now();
    EXPECT_FALSE(whileServing([] { return linkAndSendMessage("x", 300, "linktest"); }));
    EXPECT_GE(msSince(start), 250);
    EXPECT_LT(msSince(start), 2000);
}
