#pragma once
// sonorel-say itself: the command line in, speech out, an exit status back.

#include <QString>
#include <QStringList>

namespace sonorel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// `arguments` without the program name. Messages go to standard error, lists
// and help to standard output. `program`: this program's path (a folder run
// starts it again as its workers). Needs a QCoreApplication.
int runSay(const QStringList& arguments, const QString& program);

} // namespace sonorel::cli
