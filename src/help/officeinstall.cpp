#include "help/officeinstall.h"

#include "app/program.h"

#include <filesystem>
#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>
#include <system_error>

namespace sonorel::help {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageSpec;
using platform::RegistryRoot;

namespace {

const QString kWriter = QStringLiteral("LibreOffice Writer");
const QString kSuccessTitle = QStringLiteral("Success -- Sonorel");

void say(app::Services& s, QWidget* owner, const QString& text,
         const QString& title = QStringLiteral("Sonorel")) {
    s.dialogs.message({.text = text, .title = title}, owner);
}

// The text of a stored value up to its first NUL, as the word processors'
// own entries are read; nothing when the value is missing.
std::optional<QString> folderValue(const platform::RegistryStore& registry, const QString& key,
                                   const QString& name) {
    std::optional<QString> value = registry.string(RegistryRoot::CurrentUser, key, name);
    if (value) {
        const qsizetype nul = value->indexOf(QChar(u'\0'));
        if (nul >= 0)
            value->truncate(nul);
    }
    return value;
}

QString withSlash(QString folder) {
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

enum class CopyFailure { None, NotFound, InUse, Other };
struct CopyResult {
    CopyFailure failure = CopyFailure::None;
    int number = 0;
    QString description;
};

CopyResult copyReplacing(const QString& source, const QString& target) {
    if (!QFileInfo(source).isFile())
        return {CopyFailure::NotFound, ENOENT, QStringLiteral("File not found: ") + source};
    std::error_code error;
    std::filesystem::copy_file(std::filesystem::path(source.toStdString()),
                               std::filesystem::path(target.toStdString()),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (!error)
        return {};
    const QString description =
        QString::fromStdString(error.message()) + QStringLiteral(": ") + target;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::text_file_busy || error == std::errc::device_or_resource_busy)
        return {CopyFailure::InUse, error.value(), description};
    return {CopyFailure::Other, error.value(), description};
}

// Reports a failed copy by its kind; false when there was none.
bool reportedWordPerfectCopy(app::Services& s, QWidget* owner, const CopyResult& r) {
    switch (r.failure) {
    case CopyFailure::None:
        return false;
    case CopyFailure::NotFound:
        say(s, owner, r.description + QStringLiteral(", Please reinstall Sonorel"));
        break;
    case CopyFailure::InUse:
        say(s, owner,
            QStringLiteral("Can not add files for WordPerfect, please close your WordPerfect"));
        break;
    case CopyFailure::Other:
        say(s, owner,
            QStringLiteral("Error number: ") + QString::number(r.number) +
                QStringLiteral(" Error description: ") + r.description +
                QStringLiteral(", Please email us this information ") + app::kSupportMail,
            QStringLiteral("Some errors occurs Sonorel"));
        break;
    }
    return true;
}

// What unopkg said went wrong: its first "ERROR:" line, else its last line.
QString unopkgComplaint(const platform::ProcessOutcome& outcome) {
    QString last;
    for (const QByteArray& raw : outcome.output.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QStringLiteral("ERROR:")))
            return line.mid(6).trimmed();
        if (!line.isEmpty())
            last = line;
    }
    if (!last.isEmpty())
        return last;
    return outcome.crashed ? QStringLiteral("unopkg crashed")
                           : QStringLiteral("unopkg ended with code %1").arg(outcome.exitCode);
}

} // namespace

QString wordPerfectKey(const QString& version) {
    return QStringLiteral("Software\\Corel\\WordPerfect\\") + version +
           QStringLiteral("\\Location of Files\\EN");
}

void installForWordPerfect(app::Services& s, QWidget* owner) {
    QString found;
    for (const QString& version : kWordPerfectVersions)
        if (s.registry.keyExists(RegistryRoot::CurrentUser, wordPerfectKey(version)))
            found = version;
    if (found.isEmpty()) {
        say(s, owner,
            QStringLiteral("Can not find Wordperfect. Please tell us your WordPerfect version and "
                           "WordPerfect language, email: ") +
                app::kSupportMail);
        return;
    }
    const QString key = wordPerfectKey(found);
    const QString noMacroFolder = QStringLiteral("Can not find Wordperfect Macro Folder. Is your "
                                                 "WordPerfect old version? Please tell us, our "
                                                 "email: ") +
                                  app::kSupportMail;
    const std::optional<QString> macros = folderValue(s.registry, key, "Macro Folder");
    if (!macros) {
        say(s, owner, noMacroFolder);
        return;
    }
    for (const QString& name : kWordPerfectMacros)
        if (reportedWordPerfectCopy(
                s, owner, copyReplacing(s.folder.shippedFile(name), withSlash(*macros) + name)))
            return; // the macros copied before stay
    // A store keeps sizes and texts together, so reading a value either finds it
    // whole or not at all: the missing value is the one failure left.
    const std::optional<QString> templates =
        folderValue(s.registry, key, "Additional Templates Folder");
    if (!templates) {
        say(s, owner, noMacroFolder);
        return;
    }
    if (reportedWordPerfectCopy(s, owner,
                                copyReplacing(s.folder.shippedFile(kWordPerfectTemplate),
                                              withSlash(*templates) + kWordPerfectTemplate)))
        return;
    say(s, owner,
        QStringLiteral("Now, run your WordPerfect, if you can not see three green background icons "
                       "on its toolbar, please use Customize Settings to show.Any question "
                       "cantact with ") +
            app::kSupportMail,
        kSuccessTitle);
}

WriterInstall* WriterInstall::start(app::Services& s, QWidget* owner) {
    const QString source = s.folder.shippedFile(kWriterExtension);
    const QString unopkg = platform::findHelperProgram(QStringLiteral("unopkg"), {});
    if (unopkg.isEmpty()) {
        say(s, owner, QStringLiteral("Can not find ") + kWriter);
        return nullptr;
    }
    if (!QFileInfo(source).isFile()) {
        say(s, owner,
            QStringLiteral("Can not find ") + source +
                QStringLiteral(" file, please reinstall Sonorel"));
        return nullptr;
    }
    // Owned by the application, not the window: closing the window while unopkg
    // works still brings its message.
    auto* job = new WriterInstall(s, owner, source);
    job->setParent(QCoreApplication::instance());
    // --force replaces a copy added before, so adding again succeeds again.
    if (!s.processes.run(unopkg,
                         {QStringLiteral("add"), QStringLiteral("--force"),
                          QStringLiteral("--suppress-license"), source},
                         job, [job](const platform::ProcessOutcome& o) { job->report(o); })) {
        delete job;
        say(s, owner, QStringLiteral("Can not find ") + kWriter);
        return nullptr;
    }
    return job;
}

WriterInstall::WriterInstall(app::Services& services, QWidget* owner, QString source)
    : m_services(services), m_owner(owner), m_source(std::move(source)) {}

void WriterInstall::report(const platform::ProcessOutcome& o) {
    QWidget* owner = m_owner.data();
    if (!o.started) {
        say(m_services, owner, QStringLiteral("Can not find ") + kWriter);
    } else if (!o.crashed && o.exitCode == 0) {
        say(m_services, owner,
            QStringLiteral("Copy ") + m_source + QStringLiteral(" TO ") +
                QStringLiteral("your LibreOffice extensions") +
                QStringLiteral(" Successfully . The speaker has been added to your ") + kWriter +
                QStringLiteral(" tool bar!"),
            kSuccessTitle);
    } else if (o.output.contains("lock file")) {
        // Another unopkg (or an office in its place) holds the user's extensions.
        say(m_services, owner,
            QStringLiteral("The file ") + m_source +
                QStringLiteral(" is opening , please close your ") + kWriter);
    } else {
        const QString number = QString::number(o.crashed ? -1 : o.exitCode);
        const QString description = unopkgComplaint(o);
        const QString title =
            QStringLiteral("Add Speaker to ") + kWriter + QStringLiteral(" Error");
        const MessageAnswer answer = m_services.dialogs.message(
            {.text = number + QStringLiteral("  ") + description +
                     QStringLiteral(" (Whould you like E-Mail this error message to me ? My email "
                                    "is ") +
                     app::kSupportMail + u')',
             .title = title,
             .buttons = MessageButtons::YesNo,
             .icon = MessageIcon::Critical},
            owner);
        if (answer == MessageAnswer::Yes) {
            // The description is unopkg's own text: encoded, so a "&" or "#" in
            // it cannot cut the subject short.
            const QString subject =
                title + QStringLiteral(" Code:") + number + QStringLiteral(" Text:") + description;
            m_services.shell.open(QStringLiteral("mailto:") + app::kSupportMail +
                                  QStringLiteral("?subject=") +
                                  QString::fromLatin1(QUrl::toPercentEncoding(subject)));
        }
    }
    emit finished();
    deleteLater();
}

} // namespace sonorel::help
