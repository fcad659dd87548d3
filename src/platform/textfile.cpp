#include "platform/textfile.h"

#include "platform/textdecoding.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <QFile>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sonorel::platform {

using namespace textdecoding;

QString decodePlainText(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    if (n >= 2 && uchar(p[0]) == 0xFF && uchar(p[1]) == 0xFE)
        return decodeUtf16(p + 2, n - 2, true);
    if (n >= 2 && uchar(p[0]) == 0xFE && uchar(p[1]) == 0xFF)
        return decodeUtf16(p + 2, n - 2, false);
    if (!isValidUtf8(p, n)) {
        // A file that is not UTF-8 throughout is taken as Windows-1252 throughout
        // (a UTF-8 BOM included): mixing the two would garble both.
        QString out;
        appendCp1252(out, p, n);
        return out;
    }
    const bool bom = n >= 3 && uchar(p[0]) == 0xEF && uchar(p[1]) == 0xBB && uchar(p[2]) == 0xBF;
    return bom ? QString::fromUtf8(p + 3, n - 3) : QString::fromUtf8(p, n);
}

namespace {

TextFileRefusal refusalOfType(mode_t mode) {
    if (S_ISDIR(mode))
        return TextFileRefusal::Folder;
    return S_ISREG(mode) ? TextFileRefusal::None : TextFileRefusal::NotRegular;
}

struct FileDescriptor {
    explicit FileDescriptor(int fd) : fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int fd;
};

} // namespace

TextFileResult readTextFile(const QString& path) {
    TextFileResult result;
    const auto refuse = [&result](TextFileRefusal why, int error = 0) {
        result.refusal = why;
        if (error != 0)
            result.reason = QString::fromLocal8Bit(std::strerror(error));
        return result;
    };
    // A NUL would end the name early and name another file.
    if (path.isEmpty() || path.contains(QChar(0)))
        return refuse(TextFileRefusal::Missing);
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        const int error = errno;
        return refuse(error == ENOENT || error == ENOTDIR ? TextFileRefusal::Missing
                                                          : TextFileRefusal::Unreadable,
                      error);
    }
    if (const TextFileRefusal type = refusalOfType(status.st_mode); type != TextFileRefusal::None)
        return refuse(type);
    if (status.st_size > kMaxTextFileBytes)
        return refuse(TextFileRefusal::TooLarge);
    // Without waiting: the name may have become a FIFO since the status was read.
    const FileDescriptor file(
        ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0)
        return refuse(TextFileRefusal::Unreadable, errno);
    if (::fstat(file.fd, &status) != 0)
        return refuse(TextFileRefusal::Unreadable, errno);
    if (const TextFileRefusal type = refusalOfType(status.st_mode); type != TextFileRefusal::None)
        return refuse(type);
    // The size may be stale (a growing file) or 0 (files of /proc), so the read
    // itself stops one byte past the limit.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::clamp<qint64>(status.st_size, 0, kMaxTextFileBytes) + 1));
    constexpr qint64 kChunk = 1 << 16;
    for (;;) {
        const qsizetype have = bytes.size();
        if (have > kMaxTextFileBytes)
            return refuse(TextFileRefusal::TooLarge);
        const qint64 room = std::min(kChunk, kMaxTextFileBytes + 1 - have);
        bytes.resize(have + room);
        const ssize_t got = ::read(file.fd, bytes.data() + have, size_t(room));
        if (got < 0) {
            const int error = errno;
            bytes.resize(have);
            if (error == EINTR)
                continue;
            return refuse(TextFileRefusal::Unreadable, error);
        }
        bytes.resize(have + got);
        if (got == 0)
            break;
    }
    result.text = looksLikeRtf(bytes) ? rtfToPlainText(bytes) : decodePlainText(bytes);
    return result;
}

std::optional<QString> loadTextFile(const QString& path) {
    return readTextFile(path).text;
}

} // namespace sonorel::platform
