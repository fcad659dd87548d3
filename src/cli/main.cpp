// sonorel-say: the reader's voices on the command line. No window, no display.

#include "cli/say.h"

#include <csignal>
#include <QCoreApplication>

int main(int argc, char** argv) {
    // A closed pipe (the encoder gone, a reader of standard output gone) is an
    // error to report, not a reason to die without a word.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sonorel-say"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SONOREL_VERSION));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return sonorel::cli::runSay(arguments, QCoreApplication::applicationFilePath());
}
