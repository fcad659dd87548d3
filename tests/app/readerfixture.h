#pragma once
// A main window on doubles: scripted voices ("Mary" and "Kal" of generation 4,
// "English" and "German" of generation 5), fast sound output, scripted dialogs,
// an in-memory registry and a program folder of its own.

#include "app/sorelmain.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/scriptedengine.h"
#include "support/spin.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace sonorel::test {

class ReaderTest : public TempDirTest {
protected:
    ScriptedFamily gen4{{"Mary", "Kal", "Rms"}};
    ScriptedFamily gen5{{"English", "German"}};
    FakeProgramFolder folder{path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
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
            app::Services{folder, registry, dialogs, clock, processes, shell, temp, gen4, gen5,
                          platform::speech::makeSinkFactory(audio, "test")});
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

} // namespace sonorel::test
