#pragma once
// The help window's services as doubles, with a program folder of its own; the
// launcher is a template parameter so the install can run real programs too.

#include "app/services.h"
#include "platform/speech/audiosink.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/recordingmedia.h"
#include "support/scriptedengine.h"
#include "support/tempdir.h"

#include <QFile>

namespace sonorel::test {

template <class Launcher> class HelpFixture : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    FakeProgramFolder folder{path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    Launcher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    ScriptedFamily gen4, gen5;
    RecordingMediaControl media;
    app::Services services = app::servicesOf(
        *this, platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "t"));

    static bool writeFile(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    QStringList messageTexts() const {
        QStringList texts;
        for (const platform::MessageSpec& m : dialogs.messages)
            texts << m.text;
        return texts;
    }
};

} // namespace sonorel::test
