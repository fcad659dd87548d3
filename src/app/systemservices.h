#pragma once
// The real platform services, as the reader runs with them.

#include "app/services.h"
#include "platform/dialogs.h"
#include "platform/fileregistrystore.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"

namespace sonorel::app {

struct SystemServices {
    // `mediaSinks`: where played sound files go (the speech's own when empty).
    SystemServices(const QString& programFolder, const QString& registryFile,
                   platform::speech::SinkFactory sinks,
                   platform::speech::SinkFactory mediaSinks = {})
        : folder(programFolder), registry(registryFile),
          media(mediaSinks ? std::move(mediaSinks) : sinks),
          services(servicesOf(*this, std::move(sinks))) {}

    platform::LinuxProgramFolder folder;
    platform::FileRegistryStore registry;
    platform::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::LinuxProcessLauncher processes;
    platform::DesktopShellOpener shell;
    platform::LinuxTempFolder temp;
    platform::speech::FliteFamily gen4;
    platform::speech::EspeakFamily gen5;
    platform::SystemMediaControl media;
    Services services;
};

} // namespace sonorel::app
