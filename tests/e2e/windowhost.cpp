// The reader as `sorel` puts it together (real services, its main window
// loaded), showing one of its other windows as well: windows that no menu opens
// yet are read over the accessibility bus through this host.
//   windowhost WINDOW     (ClockSettings)

#include "app/sorelmain.h"
#include "app/systemservices.h"

#include <QApplication>

using namespace sonorel;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonorel");
    QApplication::setQuitOnLastWindowClosed(false);
    const QHash<QString, app::WindowId> windows{{"ClockSettings", app::WindowId::ClockSettings}};
    const QString wanted = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (!windows.contains(wanted)) {
        qWarning("windowhost: name a window: ClockSettings");
        return 2;
    }
    const auto silent =
        platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "Sonorel");
    app::SystemServices system(QApplication::applicationDirPath(),
                               platform::LinuxProgramFolder::userConfigFolder() + "/registry.json",
                               silent);
    app::Program program;
    app::Windows list;
    app::sorelmain reader(system.services, program, list);
    reader.onExit = [] { QApplication::quit(); };
    if (!reader.Form_Load({}))
        return 1;
    if (!list.show(windows.value(wanted)))
        return 1;
    return app.exec();
}
