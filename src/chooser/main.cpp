// The voice chooser's composition root.

#include "platform/display.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    if (!sonorel::platform::haveDisplayOrExplain(argv[0]))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vocelle");
    QMainWindow window;
    window.setWindowTitle("Vocelle");
    window.resize(320, 240);
    window.show();
    return app.exec();
}
