#pragma once
// The platform services the reader's windows use. main() fills it with the real
// implementations; tests with doubles.

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/programfolder.h"
#include "platform/registrystore.h"
#include "platform/shellopen.h"
#include "platform/speech/audiosink.h"
#include "platform/speech/synthesizer.h"
#include "platform/tempfolder.h"

namespace sonorel::app {

struct Services {
    platform::ProgramFolder& folder;
    platform::RegistryStore& registry;
    platform::Dialogs& dialogs;
    platform::Clock& clock;
    platform::ProcessLauncher& processes;
    platform::ShellOpener& shell;
    platform::TempFolder& temp;
    platform::speech::EngineFamily& gen4;
    platform::speech::EngineFamily& gen5;
    platform::speech::SinkFactory sinks;
};

} // namespace sonorel::app
