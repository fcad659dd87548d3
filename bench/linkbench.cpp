// Command link benchmark. Prints one "name value unit" line per figure: the time
// from a client starting to connect to the server's execute signal (the hand-over)
// and to the client holding the acknowledgement (the round trip), medians of 50.

#include "link/linkclient.h"
#include "link/linkserver.h"
#include "shared/linkcommand.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

using namespace sonorel;
using namespace sonorel::link;

namespace {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void print(const char* name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Figures {
    std::vector<double> handoverUs;
    std::vector<double> roundTripUs;
    int failures = 0;
};

// The server runs on this thread's event loop, the blocking client on another.
Figures measure(LinkServer& server, const QString& message, int warmUp, int runs) {
    Figures figures;
    std::atomic<std::int64_t> startedAt{0};
    std::vector<double> handovers;
    const auto connection = QObject::connect(&server, &LinkServer::execute, [&](const QString&) {
        handovers.push_back(double(nowNs() - startedAt.load()) / 1000);
    });
    const std::unique_ptr<QThread> client(QThread::create([&] {
        for (int i = 0; i < warmUp + runs; ++i) {
            startedAt = nowNs();
            const bool ok = linkAndSendMessage(message, 5000, "linkbench");
            const double us = double(nowNs() - startedAt.load()) / 1000;
            if (i >= warmUp) {
                figures.roundTripUs.push_back(us);
                figures.failures += ok ? 0 : 1;
            }
        }
    }));
    QEventLoop loop;
    QObject::connect(client.get(), &QThread::finished, &loop, &QEventLoop::quit);
    client->start();
    loop.exec();
    client->wait();
    QObject::disconnect(connection);
    figures.handoverUs.assign(handovers.begin() + std::min<size_t>(warmUp, handovers.size()),
                              handovers.end());
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    LinkServer server("linkbench");
    if (!server.listen()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }

    const Figures small = measure(server, makeLinkCommand(kLinkRead, "Hello there."), 5, 50);
    print("link_handover_us_median", median(small.handoverUs), "us");
    print("link_roundtrip_us_median", median(small.roundTripUs), "us");

    QString text;
    while (text.size() < (1 << 20))
        text += QStringLiteral("Grüße aus Köln, 東京. ");
    const Figures large = measure(server, makeLinkCommand(kLinkRead, text), 2, 15);
    print("link_handover_ms_median_1mb", median(large.handoverUs) / 1000, "ms");
    print("link_failures", small.failures + large.failures, "count");
    return 0;
}
