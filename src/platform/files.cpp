#include "platform/files.h"

#include <filesystem>
#include <QFile>
#include <system_error>

namespace sonorel::platform {

namespace {
std::filesystem::path native(const QString& path) {
    return std::filesystem::path(path.toStdString());
}
} // namespace

bool fileExists(const QString& path) {
    std::error_code ec;
    return !path.isEmpty() && std::filesystem::is_regular_file(native(path), ec);
}

std::int64_t fileSize(const QString& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(native(path), ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

bool removeFile(const QString& path) {
    std::error_code ec;
    std::filesystem::remove(native(path), ec);
    return !std::filesystem::exists(std::filesystem::symlink_status(native(path), ec));
}

} // namespace sonorel::platform
