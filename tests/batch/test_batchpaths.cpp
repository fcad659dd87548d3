// The paths of a batch job, the write test of its target and the drive list.

#include "batch/batchpaths.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

using namespace sonorel;
using namespace sonorel::batch;

namespace {

class BatchPaths : public test::TempDirTest {};

} // namespace

TEST_F(BatchPaths, ListsKeepInnerDotsAndJoinTargetsWithOrWithoutTheirTrailingSlash) {
    EXPECT_EQ(baseName("chapter1.txt"), "chapter1.");
    EXPECT_EQ(baseName("a.b.txt"), "a.b.");

    JobLists lists;
    fillJobLists(lists, JobKind::Mp3, "/src dir", {"a.b.txt", "x y.txt"}, "/out/", "/tmp/s-1");
    EXPECT_EQ(lists.FileCount, 2);
    EXPECT_EQ(lists.SourceFiles, QStringList({"/src dir/a.b.txt", "/src dir/x y.txt"}));
    EXPECT_EQ(lists.WaveFiles, QStringList({"/tmp/s-1/a.b.wav", "/tmp/s-1/x y.wav"}));
    EXPECT_EQ(lists.TempMp3Files, QStringList({"/tmp/s-1/a.b.mp3", "/tmp/s-1/x y.mp3"}));
    EXPECT_EQ(lists.TargetMp3Files, QStringList({"/out/a.b.mp3", "/out/x y.mp3"}));
    EXPECT_TRUE(lists.TargetWaveFiles.isEmpty());

    // A WAV job fills its own list and leaves the MP3 lists as they were.
    fillJobLists(lists, JobKind::Wav, "/src/", {"one.txt"}, "/out", {});
    EXPECT_EQ(lists.FileCount, 1);
    EXPECT_EQ(lists.SourceFiles, QStringList({"/src/one.txt"}));
    EXPECT_EQ(lists.TargetWaveFiles, QStringList({"/out/one.wav"}));
    EXPECT_EQ(lists.TargetMp3Files, QStringList({"/out/a.b.mp3", "/out/x y.mp3"}));
}

TEST_F(BatchPaths, TheWriteTestNamesWhatIsWrongAndLeavesNoCopyBehind) {
    const QString probe = path("speak.dot");
    EXPECT_EQ(writeTest(probe, path()), "Some files are lost, please reinstall Sonorel");
    QFile file(probe);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("probe");
    file.close();
    ASSERT_TRUE(QDir(path()).mkdir("out"));
    EXPECT_EQ(writeTest(probe, path("out")), "");
    EXPECT_EQ(writeTest(probe, path("out/")), "");
    EXPECT_FALSE(QFile::exists(path("out/speak.dot"))) << "the copy is removed again";
    EXPECT_EQ(writeTest(probe, path()), "") << "the program's own folder";
    EXPECT_TRUE(QFile::exists(probe)) << "the shipped file is not removed";
    EXPECT_EQ(writeTest(probe, path("gone")), "Please select an available target folder");
    EXPECT_EQ(writeTest(probe, probe), "Please select an available target folder")
        << "a file is no folder";
    // sysfs refuses new files even to the superuser.
    if (QFileInfo("/sys").isDir()) {
        EXPECT_EQ(writeTest(probe, "/sys"), "Can not write to target folder");
    }
}

TEST_F(BatchPaths, DrivesAreTheRootTheHomeFolderAndRemovableMedia) {
    const QByteArray mounts = "/dev/sda1 / ext4 rw 0 0\n"
                              "proc /proc proc rw 0 0\n"
                              "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
                              "/dev/sdc1 /run/media/ann/CARD vfat rw 0 0\n"
                              "/dev/sda2 /home ext4 rw 0 0\n";
    const QStringList drives = drivesFromMounts(mounts, "/home/ann");
    EXPECT_EQ(drives,
              QStringList({"/", "/home/ann", "/media/ann/USB STICK", "/run/media/ann/CARD"}));
    EXPECT_EQ(driveOf("/home/ann/books", drives), "/home/ann");
    EXPECT_EQ(driveOf("/home/anna", drives), "/") << "a name that only starts alike is not inside";
    EXPECT_EQ(driveOf("/media/ann/USB STICK/texts", drives), "/media/ann/USB STICK");
    EXPECT_EQ(driveOf("/usr/share", drives), "/");
}
