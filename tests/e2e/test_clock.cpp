// The real reader's talking clock: started under an X server of its own with a
// stime.ini whose interval alarm is due at the first check, it rings the bell
// and then says the time. Both are seen on the sound server as playback streams,
// the bell's ("Sonorel media") before the voice's ("Sonorel").

#include "shared/records.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace {

// The names of the playback streams on the server that carry `mark`.
QStringList streamNamesMarked(const QString& mark) {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    QStringList names;
    const QString all = QString::fromUtf8(pactl.readAllStandardOutput());
    static const QRegularExpression name("media\\.name = \"([^\"]*)\"");
    for (const QString& block : all.split("Sink Input #", Qt::SkipEmptyParts)) {
        if (!block.contains("sonorel.run = \"" + mark + "\""))
            continue;
        const QRegularExpressionMatch m = name.match(block);
        if (m.hasMatch())
            names << m.captured(1);
    }
    return names;
}

class ClockProgram : public sonorel::test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const QString name : {"sorel", "speak.bmp", "pause.bmp", "bell.wav"})
            ASSERT_TRUE(QFile::copy(QString(SONOREL_BIN_DIR) + "/" + name, path(name)));
        QDir().mkpath(path("run"));
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("SONOREL_AUDIO", "pulse");
        mark = QString::number(QCoreApplication::applicationPid()) + "-" + path().section('/', -1);
        env.insert("PULSE_PROP", "sonorel.run=" + mark);
        if (qEnvironmentVariable("PULSE_SERVER").isEmpty()) {
            QProcess info;
            info.start("pactl", {"info"});
            info.waitForFinished(5000);
            for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
                if (line.startsWith("Server String: "))
                    env.insert("PULSE_SERVER", QString::fromUtf8(line.mid(15)).trimmed());
        }
        ASSERT_TRUE(env.contains("PULSE_SERVER")) << "no PulseAudio server answers";

        // An X server of its own, on the first free display.
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                            "-noreset"});
        ASSERT_TRUE(xvfb.waitForStarted(5000));
        ASSERT_TRUE(xvfb.waitForReadyRead(10000));
        const QString display = QString::fromUtf8(xvfb.readLine()).trimmed();
        ASSERT_FALSE(display.isEmpty());
        env.insert("DISPLAY", ":" + display);
        env.insert("QT_QPA_PLATFORM", "xcb");
    }
    void TearDown() override {
        for (QProcess* p : {&reader, &xvfb}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    QProcessEnvironment env;
    QString mark;
    QProcess xvfb, reader;
};

} // namespace

TEST_F(ClockProgram, IntervalAlarmRingsTheBellThenSaysTheTime) {
    // An alarm every minute and nothing else.
    sonorel::ClockSettings clock = sonorel::ClockSettings::defaults(path());
    clock.HourOn = clock.HalfOn = clock.QuarterOn = 0;
    clock.IntervalOn = 1;
    clock.IntervalMinutes = 1;
    ASSERT_TRUE(sonorel::saveRecord(path("stime.ini"), clock));

    // The first check comes 50 s after the start; it falls into the next minute
    // (and so is due) when the program starts between 10 and 45 s past a minute.
    while (QTime::currentTime().second() < 10 || QTime::currentTime().second() > 45)
        QThread::msleep(200);
    reader.setProcessEnvironment(env);
    reader.start(path("sorel"), {});
    ASSERT_TRUE(reader.waitForStarted(5000));

    QStringList seen; // stream names in the order they first appeared
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 90000 &&
           !(seen.contains("Sonorel media") && seen.contains("Sonorel"))) {
        for (const QString& name : streamNamesMarked(mark))
            if (!seen.contains(name))
                seen << name;
        ASSERT_EQ(reader.state(), QProcess::Running) << reader.readAllStandardError().toStdString();
        QThread::msleep(100);
    }
    EXPECT_EQ(seen, QStringList({"Sonorel media", "Sonorel"}));
    // The bell is closed before the voice speaks.
    EXPECT_FALSE(streamNamesMarked(mark).contains("Sonorel media"));
}
