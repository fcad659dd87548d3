#include "platform/programfolder.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using sonorel::platform::LinuxProgramFolder;

class ProgramFolder : public sonorel::test::TempDirTest {};

TEST_F(ProgramFolder, WritableFolderKeepsEverythingBesideTheProgram) {
    const LinuxProgramFolder folder(path() + "/");
    EXPECT_EQ(folder.folder(), path());
    EXPECT_EQ(folder.shippedFile("bell.wav"), path("bell.wav"));
    EXPECT_EQ(folder.programFile("stts.ini"), path("stts.ini"));
}

TEST_F(ProgramFolder, ReadOnlyInstallWritesToTheUserConfigFolder) {
    // Permissions do not hold back root, so the check runs as an ordinary user.
    const QString install = path("install");
    const QString config = path("config");
    ASSERT_TRUE(QDir().mkpath(install));
    ASSERT_TRUE(QDir().mkpath(config));
    ::chmod(QFile::encodeName(install).constData(), 0555);
    ::chmod(QFile::encodeName(config).constData(), 0777);
    ::chmod(QFile::encodeName(path()).constData(), 0755);
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(3);
        const LinuxProgramFolder folder(install);
        const bool ok = folder.folder() == install &&
                        folder.programFile("swin.ini") == config + "/sonorel/swin.ini" &&
                        folder.shippedFile("speak.bmp") == install + "/speak.bmp" &&
                        QDir(config + "/sonorel").exists();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    qunsetenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProgramFolderConfig, RelativeXdgConfigHomeIsIgnored) {
    qputenv("XDG_CONFIG_HOME", "relative/path");
    EXPECT_EQ(LinuxProgramFolder::userConfigFolder(), QDir::homePath() + "/.config/sonorel");
    qunsetenv("XDG_CONFIG_HOME");
}
