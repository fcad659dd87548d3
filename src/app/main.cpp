// The reader's composition root: the one place that picks the real platform
// services.

#include "app/sorelmain.h"
#include "app/systemservices.h"
#include "link/instance.h"
#include "link/linkclient.h"
#include "platform/display.h"

#include <QApplication>

using namespace sonorel;

int main(int argc, char* argv[]) {
    if (!platform::haveDisplayOrExplain(argv[0]))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonorel");
    QApplication::setOrganizationName("Sonorel");
    // Desktops match the window to its menu entry and icon by this name.
    QApplication::setDesktopFileName("io.github.sonorel.Sonorel");
    // The window hides to the tray; only ExitAll ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // The command line is taken whole, as one text.
    const QString commandLine = QApplication::arguments().mid(1).join(' ');

    // A second copy hands its command line to the running one and ends without
    // a window.
    link::InstanceGuard instance;
    if (instance.claim() == link::InstanceGuard::Role::Second) {
        const QString mode = app::sorelmain::StartFrom(commandLine);
        if (mode == "explorer" || mode == "internet")
            link::linkAndSendMessage(app::sorelmain::handOverCommand(commandLine));
        return 0;
    }
    const std::unique_ptr<link::LinkServer> server = instance.takeServer();
    if (!server)
        qWarning().noquote() << "command link unavailable:" << instance.errorString();

    // SONOREL_AUDIO=silent|fast|pulse picks the sound output (for tests and
    // machines without sound); the default finds PulseAudio or plays silently.
    // Played sound files (the clock's bell) are a stream of their own.
    const auto audio = platform::speech::audioModeFromName(qEnvironmentVariable("SONOREL_AUDIO"));
    app::SystemServices system(QApplication::applicationDirPath(),
                               platform::LinuxProgramFolder::userConfigFolder() + "/registry.json",
                               platform::speech::makeSinkFactory(audio, "Sonorel"),
                               platform::speech::makeSinkFactory(audio, "Sonorel media"));

    app::Program program;
    app::Windows windows;
    app::sorelmain window(system.services, program, windows);
    window.onExit = [] { QApplication::quit(); };
    if (server)
        QObject::connect(server.get(), &link::LinkServer::execute, &window,
                         &app::sorelmain::LinkExecute);
    if (!window.Form_Load(commandLine))
        return 0;
    if (!window.startsHidden() || !window.tray)
        window.show();
    // SONOREL_OPEN=NAME opens one of the other windows at start: the way to reach
    // a window before anything in the program opens it, and for tests.
    if (const auto id = app::windowIdFromName(qEnvironmentVariable("SONOREL_OPEN")))
        windows.show(*id);
    return app.exec();
}
