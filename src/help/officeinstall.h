#pragma once
// Installing the word-processor buttons shipped beside the program: the
// LibreOffice Writer extension (through LibreOffice's own `unopkg add`, run
// without holding up the window) and the WordPerfect macros (copied into the
// folders WordPerfect's keys in the registry store name).

#include "app/services.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace sonorel::help {

inline const QString kWriterExtension = QStringLiteral("Speak.oxt");
inline const QStringList kWordPerfectMacros = {QStringLiteral("sorelSpeak.WCM"),
                                               QStringLiteral("sorelPauseOrResumeSpeaking.WCM"),
                                               QStringLiteral("sorelStopSpeaking.WCM")};
inline const QString kWordPerfectTemplate = QStringLiteral("sorelwp11.wpt");
// Tried in this order; the last one whose key exists is the one used.
inline const QStringList kWordPerfectVersions = {
    QStringLiteral("6"), QStringLiteral("6.0"), QStringLiteral("6.0a"), QStringLiteral("6.1"),
    QStringLiteral("7"), QStringLiteral("7.0"), QStringLiteral("8"),    QStringLiteral("8.0"),
    QStringLiteral("9"), QStringLiteral("9.0"), QStringLiteral("10"),   QStringLiteral("11")};

QString wordPerfectKey(const QString& version);

// Copies the macros and the template into WordPerfect's folders and reports
// the outcome in a message, as every failure is.
void installForWordPerfect(app::Services& services, QWidget* owner);

// One run of `unopkg add`. Made by start(); it reports the outcome in a
// message when unopkg ends and then deletes itself.
class WriterInstall final : public QObject {
    Q_OBJECT
public:
    // Starts the install, or reports at once why it cannot start (then the
    // result is null). `owner` (may go away meanwhile) owns the messages.
    static WriterInstall* start(app::Services& services, QWidget* owner);

signals:
    void finished();

private:
    WriterInstall(app::Services& services, QWidget* owner, QString source);
    void report(const platform::ProcessOutcome& outcome);

    app::Services& m_services;
    QPointer<QWidget> m_owner;
    QString m_source;
};

} // namespace sonorel::help
