#pragma once
// The program's private folder for intermediate files (tmp$.wav, w2mtmp.wav, batch
// WAVs): one per user, mode 0700. A folder of that name that is a symbolic link,
// is not a directory, or belongs to another user is refused, never used.

#include <QString>

namespace sonorel::platform {

class TempFolder {
public:
    virtual ~TempFolder() = default;
    // The folder without a trailing "/", created on first use; empty when refused
    // or not creatable (error() says why).
    virtual QString path() = 0;
    virtual QString error() const = 0;
};

class LinuxTempFolder final : public TempFolder {
public:
    // `base` defaults to $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp; the folder is
    // <base>/sonorel-<uid>.
    explicit LinuxTempFolder(QString base = {});

    QString path() override;
    QString error() const override { return m_error; }

private:
    QString m_base;
    QString m_path;
    QString m_error;
};

} // namespace sonorel::platform
