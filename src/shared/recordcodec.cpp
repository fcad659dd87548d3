#include "shared/recordcodec.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace sonorel {

namespace {
constexpr qsizetype kMaxTextBytes = 0xFFFF;

// Cuts UTF-8 at a character boundary no longer than `limit` bytes.
QByteArray cutUtf8(const QByteArray& utf8, qsizetype limit) {
    if (utf8.size() <= limit)
        return utf8;
    qsizetype end = limit;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return utf8.left(end);
}
} // namespace

void RecordWriter::int16(std::int16_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    m_bytes.append(static_cast<char>(v & 0xFF));
    m_bytes.append(static_cast<char>(v >> 8));
}

void RecordWriter::int32(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.append(static_cast<char>((v >> shift) & 0xFF));
}

void RecordWriter::boolean(bool value) { int16(value ? -1 : 0); }

void RecordWriter::text(const QString& value) {
    const QByteArray utf8 = cutUtf8(value.toUtf8(), kMaxTextBytes);
    int16(static_cast<std::int16_t>(static_cast<std::uint16_t>(utf8.size())));
    m_bytes.append(utf8);
}

std::uint32_t RecordReader::littleEndian(int size) {
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        if (m_pos < m_bytes.size())
            value |= std::uint32_t(static_cast<unsigned char>(m_bytes[m_pos])) << (8 * i);
        ++m_pos;
    }
    return value;
}

std::int16_t RecordReader::int16() { return static_cast<std::int16_t>(littleEndian(2)); }

std::int32_t RecordReader::int32() { return static_cast<std::int32_t>(littleEndian(4)); }

bool RecordReader::boolean() { return int16() != 0; }

QString RecordReader::text() {
    const qsizetype count = littleEndian(2);
    const qsizetype start = std::min(m_pos, m_bytes.size());
    const qsizetype available = std::min(count, m_bytes.size() - start);
    m_pos += count;
    return QString::fromUtf8(m_bytes.constData() + start, available);
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    // A folder we may write but whose old file we may not replace must not fall
    // back to writing in place: that is exactly the half-written file to avoid.
    file.setDirectWriteFallback(false);
    // commit() renames even when its own final flush of the write buffer fails
    // (a full disk, a file size limit), so the buffer is flushed and checked here.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool fileNamePresent(const QString& folder, const QString& name) {
    const QStringList entries =
        QDir(folder).entryList({name}, QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    return entries.contains(name, Qt::CaseSensitive);
}

} // namespace sonorel
