// The reader's composition root: the one place that picks the real platform
// services.

#include "platform/display.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    if (!sonorel::platform::haveDisplayOrExplain(argv[0]))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonorel");
    QApplication::setOrganizationName("Sonorel");
    QMainWindow window;
    window.setWindowTitle("Sonorel");
    window.resize(640, 400);
    window.show();
    return app.exec();
}
