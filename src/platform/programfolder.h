#pragma once
// Where the program's files are. Shipped files (pictures, bell.wav, help page)
// sit beside the executable. Files the program writes (stts.ini, swin.ini, ...)
// go to the same folder when it is writable (a portable or build-tree copy) and
// otherwise to the per-user folder $XDG_CONFIG_HOME/sonorel. Nothing else in the
// program builds these paths.

#include <QString>

namespace sonorel::platform {

class ProgramFolder {
public:
    virtual ~ProgramFolder() = default;
    // The folder of the executable, without a trailing "/".
    virtual QString folder() const = 0;
    // The folder where program files are written, without a trailing "/".
    virtual QString writableFolder() const = 0;

    QString shippedFile(const QString& name) const { return folder() + '/' + name; }
    QString programFile(const QString& name) const { return writableFolder() + '/' + name; }
};

class LinuxProgramFolder final : public ProgramFolder {
public:
    // `executableFolder` is normally QCoreApplication::applicationDirPath(); the
    // per-user folder is created on first use when the executable's is read-only.
    explicit LinuxProgramFolder(const QString& executableFolder);

    QString folder() const override { return m_folder; }
    QString writableFolder() const override { return m_writable; }

    // $XDG_CONFIG_HOME/sonorel, or ~/.config/sonorel.
    static QString userConfigFolder();

private:
    QString m_folder;
    QString m_writable;
};

} // namespace sonorel::platform
