#pragma once
#include <cstdint>
#include <QString>

namespace sonorel::platform {

bool fileExists(const QString& path);       // an existing regular file
std::int64_t fileSize(const QString& path); // bytes; 0 when missing
bool removeFile(const QString& path);       // true when it is gone afterwards

} // namespace sonorel::platform
