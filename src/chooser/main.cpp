// The voice chooser's composition root: the real engines, the program folder
// beside this program, the real process launcher.

#include "chooser/vocelleform1.h"
#include "platform/display.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"

#include <future>
#include <memory>
#include <QApplication>
#include <QCursor>

using namespace sonorel;

int main(int argc, char* argv[]) {
    if (!platform::haveDisplayOrExplain(argv[0]))
        return 1;
    // Listing the voices takes longer than connecting to the display: espeak-ng
    // reads its voice files on its own thread from here on, and flite registers
    // its voices on another, while Qt starts.
    platform::speech::EspeakFamily gen5;
    auto gen4 = std::async(std::launch::async,
                           [] { return std::make_unique<platform::speech::FliteFamily>(); });

    QApplication app(argc, argv);
    QApplication::setApplicationName("Vocelle");
    // Desktops match the window to its menu entry and icon by this name.
    QApplication::setDesktopFileName("io.github.sonorel.Vocelle");

    const QPoint cursorAtStart = QCursor::pos();
    platform::LinuxProgramFolder folder(QApplication::applicationDirPath());
    platform::QtDialogs dialogs;
    platform::LinuxProcessLauncher processes;
    const std::unique_ptr<platform::speech::FliteFamily> flite = gen4.get();
    chooser::VocelleForm1 window({folder, dialogs, processes, *flite, gen5}, cursorAtStart);
    QObject::connect(&window, &chooser::VocelleForm1::ended, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.Form_Load();
    return app.exec();
}
