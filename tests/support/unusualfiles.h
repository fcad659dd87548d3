#pragma once
// Files a text loader must refuse without waiting: a FIFO with a writer, and a
// file the code under test may not read.

#include <fcntl.h>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace sonorel::test {

// A FIFO whose writer waits for a reader and hands it `bytes` and an end: a
// loader that opens it reads them (without the writer, such an open would wait
// for good). Ending the object releases a writer nobody read from.
class FifoWithWriter final {
public:
    FifoWithWriter(const QString& path, QByteArray bytes)
        : m_name(QFile::encodeName(path)), m_bytes(std::move(bytes)) {
        if (::mkfifo(m_name.constData(), 0600) != 0)
            return;
        m_writer = std::thread([this] {
            const int fd = ::open(m_name.constData(), O_WRONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            [[maybe_unused]] const ssize_t n = ::write(fd, m_bytes.constData(), m_bytes.size());
            ::close(fd);
        });
    }
    FifoWithWriter(const FifoWithWriter&) = delete;
    FifoWithWriter& operator=(const FifoWithWriter&) = delete;
    ~FifoWithWriter() {
        if (!m_writer.joinable())
            return;
        // A reader that does not wait lets the writer's open return; it stays open
        // until the writer is done, so the write never meets a closed pipe.
        const int fd = ::open(m_name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_writer.join();
        if (fd >= 0)
            ::close(fd);
    }
    bool made() const { return m_writer.joinable(); }

private:
    QByteArray m_name;
    QByteArray m_bytes;
    std::thread m_writer;
};

// For its life, `file` (in `folder`) cannot be read by this process: its mode
// allows nothing, and when the tests run as root, who may read anything, the
// process takes the rights of the user "nobody", for whom `folder` is opened for
// passing through so that the file itself is what refuses.
class UnreadableFile final {
public:
    UnreadableFile(const QString& folder, const QString& file)
        : m_folder(folder), m_folderMode(QFile::permissions(folder)), m_file(file) {
        QFile::setPermissions(m_file, {});
        if (::geteuid() != 0)
            return;
        m_asRoot = true;
        QFile::setPermissions(m_folder, m_folderMode | QFile::ExeGroup | QFile::ExeOther);
        // The group first: without root's rights it can no longer be changed.
        m_switched = ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
    }
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;
    ~UnreadableFile() {
        if (m_asRoot) {
            [[maybe_unused]] const int u = ::seteuid(0);
            [[maybe_unused]] const int g = ::setegid(0);
        }
        QFile::setPermissions(m_folder, m_folderMode);
        QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner);
    }
    // False when running as root and the rights could not be given up.
    bool ready() const { return !m_asRoot || m_switched; }

private:
    static constexpr uid_t kNobody = 65534;
    QString m_folder;
    QFile::Permissions m_folderMode;
    QString m_file;
    bool m_asRoot = false;
    bool m_switched = false;
};

} // namespace sonorel::test
