#pragma once
#include <QString>

namespace sonorel::platform {

// The desktop's "open" for a web address, a mail link or a file.
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    // A text with a scheme ("https:", "mailto:", "file:") is a URL; anything
    // else is a local path. Returns false when no handler accepted it.
    virtual bool open(const QString& urlOrPath) = 0;
};

class DesktopShellOpener final : public ShellOpener {
public:
    bool open(const QString& urlOrPath) override;
};

} // namespace sonorel::platform
