#include "platform/fileregistrystore.h"

#include "shared/recordcodec.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>
#include <sys/stat.h>
#include <unistd.h>

namespace sonorel::platform {

namespace {

using Stamp = FileRegistryStore::Stamp;

// A lock file left without its owner's id (the owner was killed while making it)
// is recognised only by age. Age alone never breaks the lock of a live owner:
// Qt also holds an flock on it, so the limit can be short.
constexpr int staleLockMs = 2'000;
constexpr int lockTimeoutMs = 10'000;

Stamp stampOf(const struct stat& st) {
    return {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

Stamp stampOf(const QByteArray& nativePath) {
    struct stat st;
    return ::stat(nativePath.constData(), &st) == 0 ? stampOf(st) : Stamp{};
}

// The stamp comes from the descriptor the bytes are read from, so it can never
// describe a newer file than the contents.
RegistryTree load(const QString& path, Stamp* stamp) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO put in place of the file must not hang the reader.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *stamp = stampOf(native);
        return {};
    }
    struct stat st;
    const bool statted = ::fstat(fd, &st) == 0;
    *stamp = statted ? stampOf(st) : Stamp{};
    if (!statted || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return RegistryTree::fromJson(bytes);
}

// Store objects of one process on the same file queue here rather than on the
// lock file, whose waiting is coarse.
std::mutex& writerMutex(const QString& path) {
    static std::mutex guard;
    static std::map<QString, std::mutex> mutexes;
    std::lock_guard lock(guard);
    return mutexes[path];
}

bool acquire(QLockFile& lock) {
    const QDeadlineTimer deadline(lockTimeoutMs);
    for (int attempt = 0;; ++attempt) {
        if (lock.tryLock(0))
            return true;
        // A lock refused as apparently stale but still owned reports no error.
        const auto error = lock.error();
        if (error == QLockFile::PermissionError || error == QLockFile::UnknownError ||
            deadline.hasExpired())
            return false;
        QThread::msleep(std::min(1 << std::min(attempt, 5), 20));
    }
}

} // namespace

FileRegistryStore::FileRegistryStore(const QString& path)
    : m_path(QDir::cleanPath(QFileInfo(path).absoluteFilePath())) {}

template <class Read> auto FileRegistryStore::read(Read reader) const {
    std::lock_guard guard(m_mutex);
    if (!m_loaded || stampOf(QFile::encodeName(m_path)) != m_stamp) {
        m_tree = load(m_path, &m_stamp);
        m_loaded = true;
    }
    return reader(m_tree);
}

template <class Change> bool FileRegistryStore::modify(Change change) {
    std::lock_guard writer(writerMutex(m_path));
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(staleLockMs);
    if (!acquire(lock))
        return false;

    Stamp stamp;
    RegistryTree tree = load(m_path, &stamp);
    if (change(tree)) {
        // Readers keep being served the old tree while the file is written.
        if (!writeFileAtomically(m_path, tree.toJson()))
            return false;
        stamp = stampOf(QFile::encodeName(m_path)); // ours: the lock is still held
    }
    std::lock_guard guard(m_mutex);
    m_tree = std::move(tree);
    m_stamp = stamp;
    m_loaded = true;
    return true;
}

bool FileRegistryStore::keyExists(RegistryRoot root, const QString& key) const {
    return read([&](const RegistryTree& tree) { return tree.keyExists(root, key); });
}

std::optional<std::uint32_t> FileRegistryStore::dword(RegistryRoot root, const QString& key,
                                                      const QString& name) const {
    return read([&](const RegistryTree& tree) { return tree.dword(root, key, name); });
}

std::optional<QString> FileRegistryStore::string(RegistryRoot root, const QString& key,
                                                 const QString& name) const {
    return read([&](const RegistryTree& tree) { return tree.string(root, key, name); });
}

bool FileRegistryStore::createKey(RegistryRoot root, const QString& key) {
    return modify([&](RegistryTree& tree) { return tree.createKey(root, key); });
}

bool FileRegistryStore::setDword(RegistryRoot root, const QString& key, const QString& name,
                                 std::uint32_t value) {
    return modify([&](RegistryTree& tree) { return tree.setValue(root, key, name, value); });
}

bool FileRegistryStore::setString(RegistryRoot root, const QString& key, const QString& name,
                                  const QString& value) {
    return modify([&](RegistryTree& tree) { return tree.setValue(root, key, name, value); });
}

bool FileRegistryStore::deleteValue(RegistryRoot root, const QString& key, const QString& name) {
    return modify([&](RegistryTree& tree) { return tree.deleteValue(root, key, name); });
}

} // namespace sonorel::platform
