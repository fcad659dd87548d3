#include "link/instance.h"
#include "link/linkclient.h"
#include "linktest.h"

#include <fcntl.h>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <span>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::link;
using sonorel::test::spinUntil;
using sonorel::test::whileServing;
using Role = InstanceGuard::Role;

namespace {

using InstanceGuardTest = test::LinkTest;
using InstanceElectionTest = test::LinkTest;

// link_peer copies, held back at a gate until go(), which lets them all go at once.
class Peers {
public:
    explicit Peers(QString folder) : m_folder(std::move(folder)) {}
    ~Peers() {
        for (auto& peer : m_peers) {
            peer->kill();
            peer->waitForFinished(5000);
        }
        for (const int gate : m_gates)
            ::close(gate);
    }

    QProcess& start(const QString& service, int expect, const QString& message) {
        auto& peer = *m_peers.emplace_back(std::make_unique<QProcess>());
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start(SONOREL_LINK_PEER, {service, QString::number(expect), message, gatePath()});
        return peer;
    }

    // Opening the gate for writing wakes every copy blocked opening it for reading.
    // It stays open, so that a copy that said "ready" but had not reached the gate
    // yet passes straight through.
    void go() {
        for (auto& peer : std::span(m_peers).subspan(m_released))
            EXPECT_EQ(line(*peer), "ready");
        m_released = m_peers.size();
        const int gate = ::open(QFile::encodeName(gatePath()).constData(), O_WRONLY);
        ASSERT_GE(gate, 0);
        m_gates.push_back(gate);
    }

    static QString line(QProcess& peer, int ms = 10'000) {
        const QDeadlineTimer deadline(ms);
        while (!peer.canReadLine() && !deadline.hasExpired())
            peer.waitForReadyRead(int(deadline.remainingTime()));
        return QString::fromUtf8(peer.readLine()).trimmed();
    }

private:
    QString gatePath() {
        const QString path = m_folder + QStringLiteral("/gate-%1").arg(m_gates.size());
        if (!QFileInfo::exists(path)) {
            EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        return path;
    }

    QString m_folder;
    std::vector<std::unique_ptr<QProcess>> m_peers;
    size_t m_released = 0;
    std::vector<int> m_gates;
};

} // namespace

TEST_F(InstanceGuardTest, SecondWhileAServerAnswersFirstOtherwise) {
    InstanceGuard first("guardtest");
    ASSERT_EQ(first.claim(), Role::First);
    std::unique_ptr<LinkServer> server = first.takeServer();
    ASSERT_TRUE(server && server->isListening()) << first.errorString().toStdString();
    QStringList received;
    QObject::connect(server.get(), &LinkServer::execute,
                     [&](const QString& command) { received << command; });

    InstanceGuard second("guardtest");
    EXPECT_EQ(second.claim(), Role::Second);
    EXPECT_FALSE(second.takeServer());
    // The first copy's socket was left alone.
    EXPECT_TRUE(whileServing([] { return linkAndSendMessage("still here", 5000, "guardtest"); }));
    EXPECT_EQ(received, QStringList{"still here"});

    server.reset();
    InstanceGuard third("guardtest");
    EXPECT_EQ(third.claim(), Role::First);
    EXPECT_TRUE(third.takeServer());
    EXPECT_FALSE(QFileInfo::exists(linkSocketName("guardtest", "FormDDE") + ".lock"));
}

TEST_F(InstanceGuardTest, ServerOfAnotherUserIsNeverTrusted) {
    // Another user's socket at our name, as could happen in a shared /tmp: no
    // runtime folder, and a sticky temporary folder that everyone may write to.
    const QString shared = runtimePath() + "/tmp";
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(runtimePath()).constData(), 0711), 0);
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(shared));
    const QString name = linkSocketName("guardtest", "FormDDE");
    ASSERT_TRUE(name.startsWith(shared + "/"));

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(name).constData(),
                 sizeof address.sun_path - 1);
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Reports once listening, then the bytes each client sent; serves until killed.
        ::alarm(20);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0)
            ::_exit(11);
        int count = 0;
        if (::write(report[1], &count, sizeof count) != sizeof count)
            ::_exit(12);
        for (;;) {
            const int client = ::accept(fd, nullptr, nullptr);
            char buffer[256];
            count = 0;
            for (ssize_t n; (n = ::read(client, buffer, sizeof buffer)) > 0;)
                count += int(n);
            ::send(client, "\1", 1, MSG_NOSIGNAL);
            ::close(client);
            if (::write(report[1], &count, sizeof count) != sizeof count)
                ::_exit(13);
        }
    }
    ::close(report[1]);
    int count = -1;
    ASSERT_EQ(::read(report[0], &count, sizeof count), ssize_t(sizeof count));

    EXPECT_FALSE(linkAndSendMessage("private text", 2000, "guardtest"));
    ASSERT_EQ(::read(report[0], &count, sizeof count), ssize_t(sizeof count));
    EXPECT_EQ(count, 0) << "the message went to another user's server";
    InstanceGuard guard("guardtest");
    EXPECT_EQ(guard.claim(), Role::First);
    EXPECT_FALSE(guard.takeServer()) << "took over another user's socket";
    EXPECT_FALSE(guard.errorString().isEmpty());
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    while (::read(report[0], &count, sizeof count) == ssize_t(sizeof count))
        EXPECT_EQ(count, 0) << "the election sent bytes to another user's server";
    ::close(report[0]);
    ::chmod(QFile::encodeName(runtimePath()).constData(), 0700);
    if (savedTmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);
}

TEST_F(InstanceElectionTest, SixCopiesStartedTogetherElectExactlyOne) {
    Peers peers(runtimePath());
    std::vector<QProcess*> copies;
    for (int i = 0; i < 6; ++i)
        copies.push_back(&peers.start("election", 5, QStringLiteral("from %1").arg(i)));
    peers.go();

    QProcess* first = nullptr;
    QSet<QString> expected;
    for (int i = 0; i < 6; ++i) {
        const QString role = Peers::line(*copies[i]);
        if (role == "First") {
            EXPECT_EQ(first, nullptr) << "two copies serve the link";
            first = copies[i];
        } else {
            EXPECT_EQ(role, "Second sent") << "copy " << i;
            expected << QStringLiteral("got from %1").arg(i);
        }
    }
    ASSERT_NE(first, nullptr);
    QSet<QString> got;
    for (int i = 0; i < 5; ++i)
        got << Peers::line(*first);
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(first->waitForFinished(5000));
    EXPECT_EQ(first->exitCode(), 0);
}

TEST_F(InstanceElectionTest, KilledServerIsReplacedDespiteItsSocketFile) {
    const QString name = linkSocketName("election", "FormDDE");
    Peers peers(runtimePath());
    QProcess& killed = peers.start("election", 100, "");
    peers.go();
    ASSERT_EQ(Peers::line(killed), "First");
    killed.kill(); // SIGKILL: no chance to remove its socket
    ASSERT_TRUE(killed.waitForFinished(5000));
    ASSERT_TRUE(QFileInfo::exists(name));
    EXPECT_EQ(probeLink(name, 1000), LinkProbe::Absent);

    QProcess& next = peers.start("election", 1, "");
    peers.go();
    ASSERT_EQ(Peers::line(next), "First");
    QProcess& second = peers.start("election", 0, "after the crash");
    peers.go();
    EXPECT_EQ(Peers::line(second), "Second sent");
    EXPECT_EQ(Peers::line(next), "got after the crash");
}
