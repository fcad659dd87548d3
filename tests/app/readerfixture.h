#pragma once
// A main window on doubles: scripted voices ("Mary" and "Kal" of generation 4,
// "English" and "German" of generation 5), fast sound output, scripted dialogs,
// an in-memory registry and a program folder of its own.

#include "app/sorelmain.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/recordingmedia.h"
#include "support/scriptedengine.h"
#include "support/spin.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace sonorel::test {

class ReaderTest : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    ScriptedFamily gen4{{"Mary", "Kal", "Rms"}};
    ScriptedFamily gen5{{"English", "German"}};
    FakeProgramFolder folder{path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    RecordingMediaControl media;
    platform::speech::AudioMode audio = platform::speech::AudioMode::Fast;
    app::Program program;
    app::Windows windows;
    std::unique_ptr<app::Services> services;
    std::unique_ptr<app::sorelmain> w;
    bool exited = false;

    // Makes and loads a fresh window (a new run of the program).
    bool start(const QString& commandLine = {}) {
        w.reset();
        program = app::Program();
        services = std::make_unique<app::Services>(
            app::servicesOf(*this, platform::speech::makeSinkFactory(audio, "test")));
        w = std::make_unique<app::sorelmain>(*services, program, windows);
        w->onExit = [this] { exited = true; };
        return w->Form_Load(commandLine);
    }
    // Ends the run the orderly way (which writes the settings).
    void stop() {
        program.ExitRequested = true;
        w->close();
    }
    int listIndexOf(const QString& text) const;
    void pick(const QString& entry); // the user opens the list and clicks an entry
};

// A main window, loaded, over the real engines and the real process launcher,
// with the silent real-time output; its temporary files go to the "tmp" folder
// of its own program folder.
struct RealWindow {
    RealWindow();
    void pick(const QString& entry);

    QTemporaryDir dir;
    FakeProgramFolder folder{dir.path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    platform::LinuxProcessLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{dir.filePath("tmp")};
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    platform::SystemMediaControl media{
        platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "test")};
    app::Services services = app::servicesOf(
        *this, platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "test"));
    app::Program program;
    app::Windows windows;
    app::sorelmain w{services, program, windows};
    bool loaded = false;
};

} // namespace sonorel::test
