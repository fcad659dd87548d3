#pragma once
// Shared by the link tests: a private runtime folder per test, and ways to run the
// blocking client while this thread's event loop serves.

#include "support/spin.h"
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace sonorel::test {

// Tests running side by side, and a reader running on this machine, never meet:
// each test has its own $XDG_RUNTIME_DIR (mode 0700, as the runtime folder needs).
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        m_hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override {
        if (m_hadRuntime)
            qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }
    QString runtimePath() const { return m_runtime.path(); }

private:
    QTemporaryDir m_runtime;
    bool m_hadRuntime = false;
    QByteArray m_savedRuntime;
};

// Runs `client` on a worker thread while this thread's event loop runs.
template <class Client> auto whileServing(Client client) {
    decltype(client()) result{};
    const std::unique_ptr<QThread> thread(QThread::create([&] { result = client(); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    return result;
}

inline qint64 msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace sonorel::test
