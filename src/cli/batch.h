#pragma once
// Several text files into a folder of sound files, on all processors. espeak-ng
// keeps its state in globals and cannot speak twice in one process, so the files
// are spoken by worker processes (this same program with --worker), each taking
// the next file as soon as it is free. The protocol on the workers' standard
// input and output is one line per message:
//
//   to a worker:    <input> TAB <output> TAB <subtitles or nothing>
//   from a worker:  at <per mille of the file's text>
//                   done
//                   failed <message>
//
// Paths are percent-encoded file-system bytes, so any name goes through.

#include "cli/options.h"
#include "cli/render.h"

#include <QString>
#include <QStringList>

namespace sonorel::cli {

// The files `inputs` name: a folder stands for its .txt files (in any case, not
// its subfolders), numbers in names in their order ("2" before "10"). A folder
// without any adds to `problems`.
QStringList textFilesOf(const QStringList& inputs, QStringList& problems);

// The sound file `input` becomes in `folder`: its name without the last
// extension (inner dots stay) and `extension`.
QString outputPathFor(const QString& input, const QString& folder, const QString& extension);

// The folder run: `voiceText` is the picked voice's whole list text, given to the
// workers with the rate, pitch and volume of `o`. `program` is this program's path.
int runFolder(const Options& o, const QString& voiceText, const QString& program);

// A worker: takes jobs from standard input until it ends.
int runWorker(const Speaker& speaker, const QString& programFolder);

} // namespace sonorel::cli
