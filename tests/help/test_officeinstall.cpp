// Installing the word-processor buttons. WordPerfect over an in-memory registry
// store: the versions tried, the last found winning, the folders, copy errors by
// kind, missing keys and values. LibreOffice Writer through a real process: a
// stand-in `unopkg` script on PATH that succeeds or fails in each way.

#include "app/program.h"
#include "help/officeinstall.h"
#include "helpfixture.h"
#include "support/spin.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

namespace sonorel::test {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::RegistryRoot;

const QString kMail = app::kSupportMail;

class WordPerfectTest : public HelpFixture<FakeLauncher> {
protected:
    void SetUp() override {
        HelpFixture::SetUp();
        for (const QString& name :
             help::kWordPerfectMacros + QStringList{help::kWordPerfectTemplate})
            ASSERT_TRUE(writeFile(path(name), "shipped " + name.toUtf8()));
    }
    // WordPerfect `version` with its macro and template folders under `root`
    // (either may be left out).
    void install(const QString& version, const QString& root, bool macros = true,
                 bool templates = true) {
        const QString key = help::wordPerfectKey(version);
        ASSERT_TRUE(registry.createKey(RegistryRoot::CurrentUser, key));
        ASSERT_TRUE(QDir().mkpath(root + "/macros") && QDir().mkpath(root + "/templates"));
        if (macros)
            ASSERT_TRUE(registry.setString(RegistryRoot::CurrentUser, key, "Macro Folder",
                                           root + "/macros"));
        if (templates)
            ASSERT_TRUE(registry.setString(
                RegistryRoot::CurrentUser, key, "Additional Templates Folder",
                root + QStringLiteral("/templates/") + QChar(u'\0') + "junk after the NUL"));
    }
    void run() { help::installForWordPerfect(services, nullptr); }
};

const QString kSuccess = "Now, run your WordPerfect, if you can not see three green background "
                         "icons on its toolbar, please use Customize Settings to show.Any "
                         "question cantact with " +
                         kMail;
const QString kNoMacroFolder = "Can not find Wordperfect Macro Folder. Is your WordPerfect old "
                               "version? Please tell us, our email: " +
                               kMail;

TEST_F(WordPerfectTest, WithoutItsKeysItAsksForTheVersionAndCopiesNothing) {
    registry.createKey(RegistryRoot::CurrentUser,
                       "Software\\Corel\\WordPerfect\\12\\Location of Files\\EN");
    registry.createKey(RegistryRoot::LocalMachine, help::wordPerfectKey("8"));
    run();
    EXPECT_EQ(messageTexts(), QStringList{"Can not find Wordperfect. Please tell us your "
                                          "WordPerfect version and WordPerfect language, email: " +
                                          kMail});
}

TEST_F(WordPerfectTest, TheLastVersionFoundWinsAndGetsEveryFile) {
    install("8", path("wp8"));
    install("10", path("wp10"));
    install("6.0a", path("wp6"));
    run();
    EXPECT_EQ(messageTexts(), QStringList{kSuccess});
    EXPECT_EQ(dialogs.messages.value(0).title, "Success -- Sonorel");
    for (const QString& name : help::kWordPerfectMacros) {
        EXPECT_EQ(read(path("wp10/macros/") + name), "shipped " + name.toUtf8());
        EXPECT_FALSE(QFile::exists(path("wp8/macros/") + name));
    }
    EXPECT_EQ(read(path("wp10/templates/sorelwp11.wpt")), "shipped sorelwp11.wpt");

    // Twice: the copies are replaced and success is told again.
    ASSERT_TRUE(writeFile(path("sorelSpeak.WCM"), "newer"));
    run();
    EXPECT_EQ(messageTexts(), (QStringList{kSuccess, kSuccess}));
    EXPECT_EQ(read(path("wp10/macros/sorelSpeak.WCM")), "newer");
}

TEST_F(WordPerfectTest, MissingFolderValuesStopWithTheMacroFolderMessage) {
    install("9", path("wp9"), /*macros=*/false);
    run();
    EXPECT_EQ(messageTexts(), QStringList{kNoMacroFolder});
    EXPECT_TRUE(QDir(path("wp9/macros")).isEmpty());

    // No templates folder: the macros are copied, the template is not.
    install("11", path("wp11"), true, /*templates=*/false);
    run();
    EXPECT_EQ(messageTexts(), (QStringList{kNoMacroFolder, kNoMacroFolder}));
    EXPECT_TRUE(QFile::exists(path("wp11/macros/sorelStopSpeaking.WCM")));
    EXPECT_FALSE(QFile::exists(path("wp11/templates/sorelwp11.wpt")));
}

TEST_F(WordPerfectTest, CopyErrorsAreToldByTheirKind) {
    install("7", path("wp7"));
    // A shipped macro missing: the ones before it are copied, then it is named.
    QFile::remove(path("sorelPauseOrResumeSpeaking.WCM"));
    run();
    EXPECT_EQ(messageTexts(),
              QStringList{"File not found: " + path("sorelPauseOrResumeSpeaking.WCM") +
                          ", Please reinstall Sonorel"});
    EXPECT_TRUE(QFile::exists(path("wp7/macros/sorelSpeak.WCM")));
    EXPECT_FALSE(QFile::exists(path("wp7/macros/sorelStopSpeaking.WCM")));
    ASSERT_TRUE(writeFile(path("sorelPauseOrResumeSpeaking.WCM"), "back"));

    // A macro folder that does not exist: any other error, with its number.
    dialogs.messages.clear();
    ASSERT_TRUE(registry.setString(RegistryRoot::CurrentUser, help::wordPerfectKey("7"),
                                   "Macro Folder", path("nowhere")));
    run();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].title, "Some errors occurs Sonorel");
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        QString("Error number: %1 Error description: ").arg(ENOENT)))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(dialogs.messages[0].text.endsWith(", Please email us this information " + kMail));
}

// A folder that may not be written: told as the word processor holding it.
TEST_F(WordPerfectTest, AFolderThatRefusesTheCopyAsksToCloseWordPerfect) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    install("7", path("wp7"));
    ::chmod(QFile::encodeName(path("wp7/macros")).constData(), 0500);
    run();
    ::chmod(QFile::encodeName(path("wp7/macros")).constData(), 0700);
    EXPECT_EQ(messageTexts(),
              QStringList{"Can not add files for WordPerfect, please close your WordPerfect"});
}

// The Writer install with a real process service and stand-in unopkg scripts.
class WriterInstallTest : public HelpFixture<platform::LinuxProcessLauncher> {
protected:
    void SetUp() override {
        HelpFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(path("bin")));
        ASSERT_TRUE(writeFile(path("Speak.oxt"), "PK"));
    }
    // A stand-in unopkg that records its arguments and then runs `body`.
    void unopkg(const QByteArray& body) {
        const QString script = path("bin/unopkg");
        ASSERT_TRUE(writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" +
                                          QFile::encodeName(path("args")) + "\"\n" + body));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Runs the install to its end; false when it could not start.
    bool install() {
        ScopedEnv onPath("PATH", QFile::encodeName(path("bin"))); // never the real one
        help::WriterInstall* job = help::WriterInstall::start(services, nullptr);
        if (!job)
            return false;
        bool ended = false;
        QObject::connect(job, &help::WriterInstall::finished, [&ended] { ended = true; });
        EXPECT_TRUE(spinUntil([&] { return ended; }, 30000));
        return true;
    }
};

const QString kQuestionTail =
    " (Whould you like E-Mail this error message to me ? My email is " + kMail + ")";

TEST_F(WriterInstallTest, WithoutUnopkgItCannotFindLibreOffice) {
    EXPECT_FALSE(install());
    EXPECT_EQ(messageTexts(), QStringList{"Can not find LibreOffice Writer"});
}

TEST_F(WriterInstallTest, WithoutTheShippedExtensionItAsksForAReinstall) {
    unopkg("exit 0\n");
    QFile::remove(path("Speak.oxt"));
    EXPECT_FALSE(install());
    EXPECT_EQ(messageTexts(),
              QStringList{"Can not find " + path("Speak.oxt") + " file, please reinstall Sonorel"});
    EXPECT_FALSE(QFile::exists(path("args"))) << "unopkg was not run";
}

TEST_F(WriterInstallTest, AnAddThatSucceedsIsToldAsSuccess) {
    unopkg("echo 'all fine'\nexit 0\n");
    ASSERT_TRUE(install());
    EXPECT_EQ(messageTexts(), QStringList{"Copy " + path("Speak.oxt") +
                                          " TO your LibreOffice extensions Successfully . The "
                                          "speaker has been added to your LibreOffice Writer "
                                          "tool bar!"});
    EXPECT_EQ(dialogs.messages.value(0).title, "Success -- Sonorel");
    EXPECT_EQ(read(path("args")),
              "add\n--force\n--suppress-license\n" + QFile::encodeName(path("Speak.oxt")) + "\n");
}

TEST_F(WriterInstallTest, ALockedProfileAsksToCloseWriter) {
    unopkg("echo 'ERROR: unopkg cannot be started. The lock file indicates it as already "
           "running.' >&2\nexit 1\n");
    ASSERT_TRUE(install());
    EXPECT_EQ(messageTexts(), QStringList{"The file " + path("Speak.oxt") +
                                          " is opening , please close your LibreOffice Writer"});
}

TEST_F(WriterInstallTest, AnyOtherFailureOffersToMailItsNumberAndText) {
    unopkg("echo 'Warning: something harmless'\n"
           "echo 'ERROR: Exception occurred: Bad Zip File & #1' >&2\n"
           "echo 'ERROR: unopkg failed.' >&2\nexit 3\n");
    dialogs.answer(MessageAnswer::Yes);
    ASSERT_TRUE(install());
    ASSERT_EQ(dialogs.messages.size(), 1);
    const platform::MessageSpec& q = dialogs.messages[0];
    EXPECT_EQ(q.text, "3  Exception occurred: Bad Zip File & #1" + kQuestionTail);
    EXPECT_EQ(q.title, "Add Speaker to LibreOffice Writer Error");
    EXPECT_EQ(q.buttons, MessageButtons::YesNo);
    EXPECT_EQ(q.icon, MessageIcon::Critical);
    ASSERT_EQ(shell.opened.size(), 1);
    const QString mail = shell.opened[0];
    EXPECT_TRUE(mail.startsWith("mailto:" + kMail + "?subject=")) << mail.toStdString();
    EXPECT_EQ(QUrl::fromPercentEncoding(mail.mid(mail.indexOf('=') + 1).toUtf8()),
              "Add Speaker to LibreOffice Writer Error Code:3 Text:Exception occurred: Bad Zip "
              "File & #1");
    EXPECT_FALSE(mail.contains('&') || mail.contains('#')) << "the text cannot cut the link";

    // No: nothing more; a program killed by a signal is a failure too.
    unopkg("kill -9 $$\n");
    dialogs.answer(MessageAnswer::No);
    ASSERT_TRUE(install());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1].text, "-1  unopkg crashed" + kQuestionTail);
    EXPECT_EQ(shell.opened.size(), 1);

    // One that fails without a word still says how it ended.
    unopkg("exit 7\n");
    ASSERT_TRUE(install());
    EXPECT_EQ(dialogs.messages.value(2).text, "7  unopkg ended with code 7" + kQuestionTail);
}

} // namespace
} // namespace sonorel::test
