#pragma once
// The binary record-file encoding shared by every settings file of both programs:
// fields in declaration order, no padding, little-endian; texts are a 16-bit byte
// count followed by UTF-8 bytes. Readers never fail: whatever lies past the end of
// the data reads as 0 or as an empty text.

#include <cstdint>
#include <QByteArray>
#include <QString>

namespace sonorel {

// Colours are stored as 0x00BBGGRR.
using RecordColor = std::int32_t;

class RecordWriter final {
public:
    void int16(std::int16_t value);
    void int32(std::int32_t value);
    void boolean(bool value); // -1 / 0 as a 16-bit integer
    // Texts longer than 65535 bytes are cut at the last whole character that fits.
    void text(const QString& value);
    void color(RecordColor value) { int32(value); }

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

class RecordReader final {
public:
    explicit RecordReader(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    std::int16_t int16();
    std::int32_t int32();
    bool boolean(); // any non-zero value counts as true
    // A byte count that runs past the end yields the bytes that are there.
    QString text();
    RecordColor color() { return int32(); }

    bool atEnd() const { return m_pos >= m_bytes.size(); }

private:
    std::uint32_t littleEndian(int size);

    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

// Writes the whole file under a temporary name and renames it over the old one,
// so a failure at any point leaves the previous file as it was.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The whole file, or an empty array when it cannot be read.
QByteArray readWholeFile(const QString& path);

// True when `folder` holds an entry named exactly `name` (letter case counts,
// whatever the file system does with case).
bool fileNamePresent(const QString& folder, const QString& name);

} // namespace sonorel
