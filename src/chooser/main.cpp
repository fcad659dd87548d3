// The voice chooser's composition root.

#include "platform/display.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    if (!sonorel::platform::haveDisplayOrExplain(argv[0]))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vocelle");
    // Desktops match the window to its menu entry and icon by this name.
    QApplication::setDesktopFileName("io.github.sonorel.Vocelle");
    QMainWindow window;
    window.setWindowTitle("Vocelle");
    window.resize(320, 240);
    window.show();
    return app.exec();
}
