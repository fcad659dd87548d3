// The voice chooser's composition root: the real engines, the program folder
// beside this program, the real process launcher.

#include "chooser/vocelleform1.h"
#include "platform/display.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"

#include <QApplication>
#include <QCursor>

using namespace sonorel;

int main(int argc, char* argv[]) {
    if (!platform::haveDisplayOrExplain(argv[0]))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vocelle");
    // Desktops match the window to its menu entry and icon by this name.
    QApplication::setDesktopFileName("io.github.sonorel.Vocelle");

    platform::LinuxProgramFolder folder(QApplication::applicationDirPath());
    platform::QtDialogs dialogs;
    platform::LinuxProcessLauncher processes;
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    chooser::VocelleForm1 window({folder, dialogs, processes, gen4, gen5}, QCursor::pos());
    QObject::connect(&window, &chooser::VocelleForm1::ended, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.Form_Load();
    return app.exec();
}
