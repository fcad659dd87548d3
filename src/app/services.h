#pragma once
// The platform services the reader's windows use. main() fills it with the real
// implementations; tests with doubles.

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/mediacontrol.h"
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
    platform::MediaControl& media; // media command strings (the clock's bell)
};

// The services of an object whose members carry the services' names (the real
// set of the program, the doubles of a test).
template <class Parts> Services servicesOf(Parts& p, platform::speech::SinkFactory sinks) {
    return {.folder = p.folder,
            .registry = p.registry,
            .dialogs = p.dialogs,
            .clock = p.clock,
            .processes = p.processes,
            .shell = p.shell,
            .temp = p.temp,
            .gen4 = p.gen4,
            .gen5 = p.gen5,
            .sinks = std::move(sinks),
            .media = p.media};
}

} // namespace sonorel::app
