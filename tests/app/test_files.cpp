// Opening text files into the reading box and saving the box as text.

#include "platform/textfile.h"
#include "readerfixture.h"
#include "reading/textsave.h"

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
