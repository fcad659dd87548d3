#pragma once
// The paths of a batch job: the lists every file of the job is worked through
// with, the write test of the target folder, and the "drives" of the drive list
// (on Linux the mounted file systems a user picks from).

#include <QString>
#include <QStringList>

namespace sonorel::batch {

enum class JobKind { Mp3, Wav };

// One entry per selected file, in the order of the file list. Entry i of each
// list belongs to the same file (the job counts files from 1, the lists from 0).
struct JobLists {
    int FileCount = 0;
    QStringList SourceFiles;
    QStringList WaveFiles, TempMp3Files, TargetMp3Files; // MP3 job
    QStringList TargetWaveFiles;                         // WAV job
};

// "chapter1.txt" gives "chapter1." and "a.b.txt" gives "a.b.": the last three
// characters go, every dot before them stays.
QString baseName(const QString& fileName);
// `folder` and `name` with one "/" between them.
QString inFolder(const QString& folder, const QString& name);

// Fills the lists of a `kind` job for `names` (file names in `sourceFolder`);
// an MP3 job's intermediate WAV and MP3 go to `tempFolder`. The lists of the
// other kind are left as they were.
void fillJobLists(JobLists& lists, JobKind kind, const QString& sourceFolder,
                  const QStringList& names, const QString& target, const QString& tempFolder);

// Copies the write-test file `probe` into `target` under its own name and
// removes the copy again. Empty when the target is writable, else the message
// the user is shown.
QString writeTest(const QString& probe, const QString& target);

// The drives of the drive list: "/", the home folder, and what is mounted under
// /media and /run/media, from the text of /proc/self/mounts.
QStringList drivesFromMounts(const QByteArray& mounts, const QString& home);
QStringList currentDrives();
// The drive that holds `path`: the longest drive that is `path` or a folder above it.
QString driveOf(const QString& path, const QStringList& drives);

} // namespace sonorel::batch
