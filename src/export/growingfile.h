#pragma once
// A file that another thread or program is still writing (the WAV a voice
// renders, the MP3 the encoder makes), measured at each progress tick. Its size
// against an estimate (progress.h) is all a save knows of its progress.

#include <cstdint>
#include <optional>
#include <QString>

namespace sonorel::exporting {

class GrowingFile final {
public:
    // The wait stage: measuring starts once the file exists. False while it does not.
    bool take(const QString& path);
    void release() { m_path.clear(); }
    bool isTaken() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    // The taken file's size now (0 once it is gone); nothing when none is taken.
    std::optional<std::int64_t> size() const;

private:
    QString m_path;
};

} // namespace sonorel::exporting
