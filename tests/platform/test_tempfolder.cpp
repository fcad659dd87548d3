#include "platform/tempfolder.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::platform;

namespace {

struct stat lstatOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

class LinuxTempFolderTest : public test::TempDirTest {
protected:
    QString expected() const { return path(QStringLiteral("sonorel-%1").arg(::geteuid())); }
    QByteArray native() const { return QFile::encodeName(expected()); }

    void expectRefused(const char* reason) {
        LinuxTempFolder folder(path());
        EXPECT_TRUE(folder.path().isEmpty());
        EXPECT_TRUE(folder.error().contains(expected())) << folder.error().toStdString();
        EXPECT_TRUE(folder.error().contains(reason)) << folder.error().toStdString();
    }
};

TEST_F(LinuxTempFolderTest, IsCreatedPrivateAndReused) {
    const mode_t oldMask = ::umask(0);
    LinuxTempFolder folder(path() + '/');
    const QString made = folder.path();
    ::umask(oldMask);
    ASSERT_EQ(made, expected()) << folder.error().toStdString();
    const struct stat st = lstatOf(made);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    ASSERT_TRUE(QFile(made + "/tmp$.wav").open(QIODevice::WriteOnly));
    EXPECT_EQ(LinuxTempFolder(path()).path(), made);
    EXPECT_TRUE(QFile::exists(made + "/tmp$.wav"));
}

TEST_F(LinuxTempFolderTest, IsMadeAgainWhenRemovedMeanwhile) {
    LinuxTempFolder folder(path());
    ASSERT_EQ(folder.path(), expected());
    ASSERT_TRUE(QDir(expected()).removeRecursively());
    EXPECT_EQ(folder.path(), expected());
    EXPECT_TRUE(QFileInfo(expected()).isDir());
}

TEST_F(LinuxTempFolderTest, OurOpenFolderIsTightened) {
    ASSERT_EQ(::mkdir(native().constData(), 0755), 0);
    ASSERT_EQ(::chmod(native().constData(), 0755), 0);
    EXPECT_EQ(LinuxTempFolder(path()).path(), expected());
    EXPECT_EQ(lstatOf(expected()).st_mode & 07777, 0700u);
}

TEST_F(LinuxTempFolderTest, SymbolicLinkIsRefusedAndItsTargetLeftAlone) {
    const QString target = path("elsewhere");
    ASSERT_EQ(::mkdir(QFile::encodeName(target).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(target, expected()));
    expectRefused("symbolic link");
    EXPECT_EQ(lstatOf(target).st_mode & 07777, 0755u);
    EXPECT_TRUE(QDir(target).isEmpty());
    EXPECT_TRUE(S_ISLNK(lstatOf(expected()).st_mode));
}

TEST_F(LinuxTempFolderTest, PlainFileIsRefused) {
    ASSERT_TRUE(QFile(expected()).open(QIODevice::WriteOnly));
    expectRefused("not a folder");
    EXPECT_TRUE(S_ISREG(lstatOf(expected()).st_mode));
}

TEST_F(LinuxTempFolderTest, FolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder away";
    ASSERT_EQ(::mkdir(native().constData(), 0700), 0);
    ASSERT_EQ(::chown(native().constData(), 65534, 65534), 0);
    expectRefused("another user");
    EXPECT_EQ(lstatOf(expected()).st_uid, 65534u);
}

} // namespace
