#include "export/growingfile.h"

#include "platform/files.h"

namespace sonorel::exporting {

bool GrowingFile::take(const QString& path) {
    if (!platform::fileExists(path))
        return false;
    m_path = path;
    return true;
}

std::optional<std::int64_t> GrowingFile::size() const {
    if (m_path.isEmpty())
        return std::nullopt;
    return platform::fileSize(m_path);
}

} // namespace sonorel::exporting
