// Opening text files into the reading box and saving the box as text.

#include "platform/textfile.h"
#include "readerfixture.h"
#include "reading/textsave.h"
#include "shared/linkcommand.h"
#include "support/unusualfiles.h"

#include <cstring>
#include <QFile>
#include <QPlainTextEdit>

using namespace sonorel;
using namespace sonorel::test;
using platform::FileChoice;

namespace {
QByteArray contents(const QString& file) {
    return readWholeFile(file);
}
} // namespace

TEST_F(ReaderTest, OpenShowsThePlainTextOfRichTextAndRemembersTheFolder) {
    ASSERT_TRUE(start());
    const QString rtf = QString(SONOREL_TESTDATA) + "/rtf/simple.rtf";
    ASSERT_TRUE(platform::loadTextFile(rtf)) << "missing test file " << rtf.toStdString();
    dialogs.answer(std::optional<FileChoice>(FileChoice{rtf, 1}));
    w->Command3_Click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    const platform::FileDialogSpec& open = dialogs.fileDialogs[0];
    EXPECT_EQ(open.title, "Select A File");
    EXPECT_EQ(open.filters.size(), 2);
    EXPECT_EQ(open.filters[0].description, "Rich Text (*.rtf)");
    EXPECT_EQ(open.filters[1].pattern, "*.txt");
    EXPECT_EQ(open.filterIndex, 2); // ".txt" by default
    EXPECT_EQ(w->RichTextBox1->toPlainText(), *platform::loadTextFile(rtf));
    EXPECT_FALSE(w->RichTextBox1->toPlainText().contains("\\rtf"));
    EXPECT_EQ(program.win.OpenExt, ".rtf");
    EXPECT_EQ(program.win.OpenFolder, QString(SONOREL_TESTDATA) + "/rtf/");
    w->Command3_Click(); // cancelled: the next dialog offers rich text in that folder
    EXPECT_EQ(dialogs.fileDialogs[1].filterIndex, 1);
    EXPECT_EQ(dialogs.fileDialogs[1].initialFolder, QString(SONOREL_TESTDATA) + "/rtf/");
}

TEST_F(ReaderTest, SaveAsTextAppendsTheExtensionAndALineBreak) {
    ASSERT_TRUE(start());
    w->Command4_Click(); // an empty box offers no dialog
    EXPECT_TRUE(dialogs.fileDialogs.isEmpty());
    w->RichTextBox1->setPlainText("Grüße\nzwei Zeilen");
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("notes.TXT"), 2}));
    w->Command4_Click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Save as");
    EXPECT_EQ(dialogs.fileDialogs[0].filters.size(), 4);
    EXPECT_EQ(dialogs.fileDialogs[0].filterIndex, 3); // a first save offers MP3
    EXPECT_EQ(contents(path("notes.TXT.txt")), QByteArray("Grüße\nzwei Zeilen\r\n"));
    EXPECT_EQ(program.win.SaveExt, ".txt");
    EXPECT_EQ(program.win.SaveFolder, path() + "/");
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("plain"), 2}));
    w->Command4_Click();
    EXPECT_EQ(dialogs.fileDialogs[1].filterIndex, 2); // the text type again
    EXPECT_TRUE(QFile::exists(path("plain.txt")));
}

TEST_F(ReaderTest, OverwriteQuestionNoLeavesTheFileAlone) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("new words");
    ASSERT_TRUE(writeFileAtomically(path("old.txt"), "precious"));
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("old.txt"), 2}));
    dialogs.answer(platform::MessageAnswer::No);
    w->Command4_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              path("old.txt") + " is already exist,do you want to overwrite it ?");
    EXPECT_EQ(dialogs.messages[0].title, "Message");
    EXPECT_EQ(dialogs.messages[0].defaultButton, 2);
    EXPECT_EQ(contents(path("old.txt")), "precious");
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("old.txt"), 2}));
    dialogs.answer(platform::MessageAnswer::Yes);
    w->Command4_Click();
    EXPECT_EQ(contents(path("old.txt")), "new words\r\n");
}

TEST(TextSave, RichTextIsRealRtfThatReadsBackToTheText) {
    const QString text = "Braces {and} back\\slash, Grüße, 東京 and 😀\tend\nsecond line";
    const QByteArray rtf = reading::richTextFile(text);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_EQ(platform::rtfToPlainText(rtf), text + "\n");
    EXPECT_EQ(reading::withExtension("a.rtf", ".rtf"), "a.rtf");
    EXPECT_EQ(reading::withExtension("a.RTF", ".rtf"), "a.RTF.rtf");
}

// Whatever a file command names, the window reads only a regular file of legal
// size: anything else is refused at once with a message that says why, the box
// keeps its text, a reading goes on, and the next command is served.
TEST_F(ReaderTest, FileCommandsRefuseWhatIsNoLegalTextFile) {
    ASSERT_TRUE(start());
    const sonorel::test::FifoWithWriter fifo(path("pipe"), "words from a pipe");
    ASSERT_TRUE(fifo.made());
    QFile big(path("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(platform::kMaxTextFileBytes + 1));
    big.close();
    ASSERT_TRUE(writeFileAtomically(path("secret.txt"), "not for you"));

    const QList<std::pair<QString, QString>> refused = {
        {path("pipe"),
         path("pipe") +
             " is not a regular file (it is a device, pipe or socket), so it is not read."},
        {"/dev/zero",
         "/dev/zero is not a regular file (it is a device, pipe or socket), so it is not read."},
        {path(), path() + " is a folder, not a text file."},
        {path("secret.txt"), path("secret.txt") + " cannot be read: " +
                                 QString::fromLocal8Bit(std::strerror(EACCES)) + "."},
        {path("big.txt"),
         path("big.txt") + " is larger than 16 MB, the largest text file Sonorel opens."},
        {path("missing.txt"), "Can not find the file " + path("missing.txt") + "."},
    };
    for (const auto& [file, why] : refused) {
        SCOPED_TRACE(file.toStdString());
        dialogs.notices.clear();
        w->RichTextBox1->setPlainText("the text before");
        {
            std::optional<sonorel::test::UnreadableFile> unreadable;
            if (file.endsWith("secret.txt")) {
                unreadable.emplace(path(), file);
                ASSERT_TRUE(unreadable->ready());
            }
            w->LinkExecute(file);
        }
        EXPECT_EQ(w->RichTextBox1->toPlainText(), "the text before");
        EXPECT_EQ(w->PlayStatus, reading::Idle);
        ASSERT_EQ(dialogs.notices.size(), 1);
        EXPECT_EQ(dialogs.notices[0].text, why);
        EXPECT_EQ(dialogs.notices[0].title, "Sonorel");
        EXPECT_TRUE(dialogs.messages.isEmpty()); // nothing waits for an answer
        w->LinkExecute(kLinkToken + "_1The next command");
        EXPECT_EQ(w->RichTextBox1->toPlainText(), "The next command");
        EXPECT_EQ(w->PlayStatus, reading::Speaking);
        w->LinkExecute(kLinkToken + "_3");
    }

    // Refused while reading: the reading goes on.
    w->LinkExecute(kLinkToken + "_1Still reading");
    w->LinkExecute(path());
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "Still reading");
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    w->LinkExecute(kLinkToken + "_3");

    // The Open button asks the same loader and waits for the message.
    w->RichTextBox1->setPlainText("the text before");
    dialogs.answer(std::optional<FileChoice>(FileChoice{path("big.txt"), 2}));
    w->Command3_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              path("big.txt") + " is larger than 16 MB, the largest text file Sonorel opens.");
    EXPECT_EQ(dialogs.messages[0].title, "Sonorel");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "the text before");
    EXPECT_EQ(w->PlayStatus, reading::Idle);
}

// A command line naming a regular file that cannot be loaded starts nothing, and
// its message does not hold up the start.
TEST_F(ReaderTest, StartWithAFileTooLargeReadsNothing) {
    QFile big(path("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(platform::kMaxTextFileBytes + 1));
    big.close();
    ASSERT_TRUE(start(path("big.txt")));
    EXPECT_EQ(program.StartMode, "explorer");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "");
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    ASSERT_EQ(dialogs.notices.size(), 1);
    EXPECT_EQ(dialogs.notices[0].text,
              path("big.txt") + " is larger than 16 MB, the largest text file Sonorel opens.");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
