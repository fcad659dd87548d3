#include "platform/fileregistrystore.h"
#include "shared/recordcodec.h"
#include "support/memoryregistry.h"
#include "support/tempdir.h"

#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::platform;
using sonorel::test::MemoryRegistryStore;

namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr auto HKLM = RegistryRoot::LocalMachine;
const QString app = QStringLiteral("Software\\Sonorel");

// Runs `body` in a forked child, which exits 0 when it returns true.
template <class Body> pid_t forkChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body() ? 0 : 1);
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A value that shows whether it was stored whole: "<n>:" and 32 KiB derived from n.
QString payload(int n) {
    QString text = QString::number(n) + u':';
    for (int i = 0; i < 32768; ++i)
        text += QChar(u'a' + (n + i) % 26);
    return text;
}

std::optional<int> payloadNumber(const QString& text) {
    bool ok = false;
    const int n = text.section(u':', 0, 0).toInt(&ok);
    return ok && text == payload(n) ? std::optional(n) : std::nullopt;
}

// The rules every store keeps, run against the file store and its test double.
template <class Store> class RegistryContract : public test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        if constexpr (std::is_same_v<Store, FileRegistryStore>)
            store = std::make_unique<Store>(path("registry.json"));
        else
            store = std::make_unique<Store>();
    }
    std::unique_ptr<RegistryStore> store;
};
using Stores = ::testing::Types<FileRegistryStore, MemoryRegistryStore>;
TYPED_TEST_SUITE(RegistryContract, Stores);

TYPED_TEST(RegistryContract, KeysAndNamesIgnoreCaseAndTrailingBackslash) {
    RegistryStore& s = *this->store;
    ASSERT_TRUE(s.setDword(HKCU, app, "WaveEnd", 1));
    EXPECT_EQ(s.dword(HKCU, "SOFTWARE\\sonorel\\", "waveend"), 1u);
    ASSERT_TRUE(s.setDword(HKCU, "software\\SONOREL\\", "WAVEEND", 2));
    EXPECT_EQ(s.dword(HKCU, app, "WaveEnd"), 2u);
    ASSERT_TRUE(s.setString(HKCU, "Software\\Ärger", "Größe", "x"));
    EXPECT_EQ(s.string(HKCU, "SOFTWARE\\ÄRGER", "GRÖßE"), "x");
    EXPECT_FALSE(s.dword(HKLM, app, "WaveEnd")) << "the roots are separate";
}

TYPED_TEST(RegistryContract, TypesAreKeptApartAndValuesDeletedAlone) {
    RegistryStore& s = *this->store;
    ASSERT_TRUE(s.setString(HKCU, app, "Voice", "Anna"));
    ASSERT_TRUE(s.setDword(HKCU, app, "WaveEnd", 1));
    EXPECT_FALSE(s.dword(HKCU, app, "Voice"));
    EXPECT_FALSE(s.string(HKCU, app, "WaveEnd"));
    ASSERT_TRUE(s.setDword(HKCU, app, "Voice", 7));
    EXPECT_FALSE(s.string(HKCU, app, "Voice"));
    EXPECT_EQ(s.dword(HKCU, app, "Voice"), 7u);
    EXPECT_TRUE(s.deleteValue(HKCU, app, "VOICE"));
    EXPECT_FALSE(s.dword(HKCU, app, "Voice"));
    EXPECT_EQ(s.dword(HKCU, app, "WaveEnd"), 1u);
    EXPECT_TRUE(s.deleteValue(HKCU, app, "Voice")) << "already gone";
    EXPECT_TRUE(s.deleteValue(HKCU, "Software\\Missing", "X"));
    EXPECT_FALSE(s.keyExists(HKCU, "Software\\Missing"));
}

TYPED_TEST(RegistryContract, KeysComeWithTheirParents) {
    RegistryStore& s = *this->store;
    EXPECT_FALSE(s.keyExists(HKCU, "Software"));
    ASSERT_TRUE(s.createKey(HKCU, "Software\\Sonorel\\Voices\\"));
    EXPECT_TRUE(s.keyExists(HKCU, "software"));
    EXPECT_TRUE(s.keyExists(HKCU, "SOFTWARE\\SONOREL\\VOICES"));
    EXPECT_FALSE(s.keyExists(HKCU, "Soft"));
    EXPECT_FALSE(s.keyExists(HKCU, "Software\\Sonorel\\Voices\\Anna"));
    EXPECT_FALSE(s.keyExists(HKLM, "Software"));
    ASSERT_TRUE(s.setDword(HKLM, "Software\\Other", "X", 1));
    EXPECT_TRUE(s.keyExists(HKLM, "Software"));
}

TEST(MemoryRegistryStore, FailWritesChangesNothing) {
    MemoryRegistryStore s;
    ASSERT_TRUE(s.setDword(HKCU, app, "WaveEnd", 1));
    s.failWrites = true;
    EXPECT_FALSE(s.setString(HKCU, app, "WaveEnd", "x"));
    EXPECT_FALSE(s.createKey(HKCU, "Software\\New"));
    EXPECT_EQ(s.dword(HKCU, app, "WaveEnd"), 1u);
    EXPECT_FALSE(s.keyExists(HKCU, "Software\\New"));
    s.failWrites = false;
    EXPECT_TRUE(s.deleteValue(HKCU, app, "WaveEnd"));
    EXPECT_FALSE(s.dword(HKCU, app, "WaveEnd"));
}

class FileRegistryStoreTest : public test::TempDirTest {
protected:
    QString file() const { return path("registry.json"); }
};

TEST_F(FileRegistryStoreTest, ValuesSurviveInTheFileUnderTheirFirstSpelling) {
    const QString text = QStringLiteral("Zeile 1\nÄ \"q\" \\ \t{}");
    {
        FileRegistryStore s(file());
        ASSERT_TRUE(s.setDword(HKLM, app, "Zero", 0));
        ASSERT_TRUE(s.setString(HKCU, "SOFTWARE\\SONOREL", "TEXT", "old"));
        ASSERT_TRUE(s.setDword(HKCU, app, "Max", 0xFFFFFFFFu));
        ASSERT_TRUE(s.setString(HKCU, app, "Empty", QString()));
        ASSERT_TRUE(s.setString(HKCU, "software\\sonorel", "text", text));
        ASSERT_TRUE(s.setString(HKCU, QString(), "AtRoot", "r"));
        ASSERT_TRUE(s.createKey(HKCU, "Software\\Sonorel\\NoValues"));
    }
    const QJsonObject hkcu =
        QJsonDocument::fromJson(readWholeFile(file())).object()["HKEY_CURRENT_USER"].toObject();
    EXPECT_EQ(hkcu["SOFTWARE\\SONOREL"].toObject()["TEXT"].toString(), text);
    EXPECT_TRUE(hkcu.contains("SOFTWARE\\SONOREL\\NoValues"));

    FileRegistryStore fresh(file());
    EXPECT_EQ(fresh.dword(HKLM, app, "Zero"), 0u);
    EXPECT_EQ(fresh.dword(HKCU, app, "Max"), 0xFFFFFFFFu);
    EXPECT_EQ(fresh.string(HKCU, app, "Empty"), QString());
    EXPECT_EQ(fresh.string(HKCU, app, "Text"), text);
    EXPECT_EQ(fresh.string(HKCU, "\\", "atroot"), "r");
    EXPECT_TRUE(fresh.keyExists(HKCU, "Software\\Sonorel\\NoValues"));
    EXPECT_FALSE(fresh.keyExists(HKLM, "Software\\Sonorel\\NoValues"));
}

TEST_F(FileRegistryStoreTest, HandEditedEntriesOfTheWrongShapeAreLeftOut) {
    ASSERT_TRUE(writeFileAtomically(file(), R"({
        "HKEY_CURRENT_USER": {
            "Software\\Sonorel": {"Good": 5, "Max": 4294967295, "Text": "t", "Negative": -1,
                                  "Fraction": 1.5, "TooBig": 4294967296, "Null": null,
                                  "List": [1], "Object": {}},
            "Software\\NotAKey": 3
        },
        "HKEY_LOCAL_MACHINE": ["Software"]
    })"));
    FileRegistryStore s(file());
    EXPECT_EQ(s.dword(HKCU, app, "Good"), 5u);
    EXPECT_EQ(s.dword(HKCU, app, "Max"), 0xFFFFFFFFu);
    EXPECT_EQ(s.string(HKCU, app, "Text"), "t");
    for (const char* name : {"Negative", "Fraction", "TooBig", "Null", "List", "Object"}) {
        EXPECT_FALSE(s.dword(HKCU, app, name)) << name;
        EXPECT_FALSE(s.string(HKCU, app, name)) << name;
    }
    EXPECT_FALSE(s.keyExists(HKCU, "Software\\NotAKey"));
    EXPECT_FALSE(s.keyExists(HKLM, "Software"));
}

TEST_F(FileRegistryStoreTest, SeesWhatOthersWroteAndKeepsIt) {
    FileRegistryStore reader(file()), writer(file());
    EXPECT_FALSE(reader.dword(HKCU, app, "WaveEnd"));
    // Same size each time: only the file's identity and times tell the versions apart.
    for (std::uint32_t v = 1; v <= 3; ++v) {
        ASSERT_TRUE(writer.setDword(HKCU, app, "WaveEnd", v));
        EXPECT_EQ(reader.dword(HKCU, app, "WaveEnd"), v);
    }
    ASSERT_TRUE(writer.setString(HKCU, app, "Voice", "Anna"));
    ASSERT_TRUE(reader.setDword(HKCU, app, "FirstRun", 1)); // without reading first
    FileRegistryStore fresh(file());
    EXPECT_EQ(fresh.string(HKCU, app, "Voice"), "Anna");
    EXPECT_EQ(fresh.dword(HKCU, app, "FirstRun"), 1u);
    ASSERT_TRUE(QFile::remove(file()));
    EXPECT_FALSE(reader.keyExists(HKCU, app));
}

TEST_F(FileRegistryStoreTest, GarbageReadsAsEmptyAndIsReplacedOnlyByAWrite) {
    {
        FileRegistryStore s(file());
        ASSERT_TRUE(s.setDword(HKCU, app, "WaveEnd", 1));
        ASSERT_TRUE(s.setString(HKCU, app, "Voice", "Anna"));
    }
    const QByteArray valid = readWholeFile(file());
    QList<QByteArray> garbage;
    for (qsizetype n = 0; n <= valid.lastIndexOf('}'); ++n)
        garbage << valid.left(n);
    std::mt19937 random(20260105);
    for (int i = 0; i < 200; ++i) {
        QByteArray bytes(std::uniform_int_distribution<int>(1, 400)(random), '\0');
        for (char& c : bytes)
            c = char(random());
        garbage << bytes;
    }
    for (int i = 0; i < static_cast<int>(garbage.size()); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(writeFileAtomically(file(), garbage[i]));
        FileRegistryStore s(file());
        EXPECT_FALSE(s.keyExists(HKCU, "Software"));
        EXPECT_FALSE(s.dword(HKCU, app, "WaveEnd"));
        EXPECT_TRUE(s.deleteValue(HKCU, app, "Voice"));
        ASSERT_EQ(readWholeFile(file()), garbage[i]);
    }
    ASSERT_TRUE(writeFileAtomically(file(), garbage.last()));
    FileRegistryStore s(file());
    ASSERT_TRUE(s.setDword(HKCU, app, "FirstRun", 1));
    FileRegistryStore fresh(file());
    EXPECT_EQ(fresh.dword(HKCU, app, "FirstRun"), 1u);
    EXPECT_FALSE(fresh.dword(HKCU, app, "WaveEnd"));
}

TEST_F(FileRegistryStoreTest, FailedWriteKeepsFileAndValue) {
    FileRegistryStore s(file());
    ASSERT_TRUE(s.setString(HKCU, app, "Voice", "Anna"));
    const QByteArray before = readWholeFile(file());

    // The new file grows past the file size limit; the lock file stays below it.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit limit = oldLimit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = s.setString(HKCU, app, "Voice", QString(8000, u'x'));
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readWholeFile(file()), before);
    EXPECT_EQ(s.string(HKCU, app, "Voice"), "Anna");
    EXPECT_EQ(FileRegistryStore(file()).string(HKCU, app, "Voice"), "Anna");
    EXPECT_EQ(QDir(path()).entryList(QDir::Files | QDir::Hidden), QStringList{"registry.json"});
    EXPECT_TRUE(s.setString(HKCU, app, "Voice", QString(8000, u'x')));
}

TEST_F(FileRegistryStoreTest, ReadOnlyFolderKeepsFileAndValue) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const QString folder = path("config");
    ASSERT_TRUE(QDir().mkdir(folder));
    FileRegistryStore s(folder + "/registry.json");
    ASSERT_TRUE(s.setDword(HKCU, app, "WaveEnd", 1));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    EXPECT_FALSE(s.setDword(HKCU, app, "WaveEnd", 2));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(s.dword(HKCU, app, "WaveEnd"), 1u);
    EXPECT_EQ(FileRegistryStore(folder + "/registry.json").dword(HKCU, app, "WaveEnd"), 1u);
}

TEST_F(FileRegistryStoreTest, KilledWriterLeavesAWholeFile) {
    ASSERT_TRUE(FileRegistryStore(file()).setString(HKCU, app, "Text", payload(0)));
    std::mt19937 random{std::random_device{}()};
    int newest = 0;
    for (int round = 1; round <= 8; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = forkChild([&] {
            FileRegistryStore s(file());
            for (int n = round * 100000;; ++n)
                s.setString(HKCU, app, "Text", payload(n));
            return true;
        });
        ASSERT_GT(child, 0);
        ::usleep(std::uniform_int_distribution<useconds_t>(5'000, 60'000)(random));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        const auto text = FileRegistryStore(file()).string(HKCU, app, "Text");
        ASSERT_TRUE(text);
        const auto n = payloadNumber(*text);
        ASSERT_TRUE(n) << "a mixed or cut value";
        newest = std::max(newest, *n);
        // The lock of the killed writer must not block the next one.
        EXPECT_TRUE(FileRegistryStore(file()).setDword(HKCU, app, "Round", round));
    }
    EXPECT_GT(newest, 0) << "the writer never got to write";
}

TEST_F(FileRegistryStoreTest, ThreadsLoseNoValues) {
    FileRegistryStore shared(file());
    constexpr int threads = 6, perThread = 12;
    const auto name = [](int t, int i) { return QStringLiteral("T%1V%2").arg(t).arg(i); };
    std::atomic<int> failures = 0, running = threads;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            // Some share one store object, some have their own, as two windows would.
            std::optional<FileRegistryStore> own;
            if (t % 2)
                own.emplace(file());
            RegistryStore& s = own ? static_cast<RegistryStore&>(*own) : shared;
            for (int i = 0; i < perThread; ++i) {
                failures += !s.setDword(HKCU, app, name(t, i), t * 1000 + i);
                for (int j = 0; j <= i; ++j)
                    failures += s.dword(HKCU, app, name(t, j)) != std::uint32_t(t * 1000 + j);
            }
            --running;
        });
    while (running > 0) // the UI thread polling the handshake meanwhile
        shared.dword(HKCU, app, "WaveEnd");
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(failures, 0);
    FileRegistryStore fresh(file());
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(fresh.dword(HKCU, app, name(t, i)), std::uint32_t(t * 1000 + i));
}

TEST_F(FileRegistryStoreTest, TwoProcessesLoseNoValues) {
    constexpr int count = 20;
    const auto writeAll = [&](const QString& prefix) {
        FileRegistryStore s(file());
        bool ok = true;
        for (int i = 0; i < count; ++i)
            ok = s.setDword(HKCU, app, prefix + QString::number(i), i) && ok;
        return ok;
    };
    const pid_t child = forkChild([&] { return writeAll("Child"); });
    ASSERT_GT(child, 0);
    EXPECT_TRUE(writeAll("Parent"));
    EXPECT_EQ(exitStatus(child), 0);
    FileRegistryStore fresh(file());
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(fresh.dword(HKCU, app, "Child" + QString::number(i)), std::uint32_t(i));
        EXPECT_EQ(fresh.dword(HKCU, app, "Parent" + QString::number(i)), std::uint32_t(i));
    }
}

} // namespace
