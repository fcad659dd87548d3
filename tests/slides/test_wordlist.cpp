// Word files: how lines are cut into entries, and which encodings are read.

#include "slides/wordlist.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QFile>

using sonorel::slides::readWordList;
using sonorel::slides::splitWordLines;

TEST(WordLines, EveryLineEndCutsAndNothingElseChanges) {
    struct Case {
        QString text;
        QStringList entries;
    } cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\r\ntwo\r\n", {"one", "two"}},
        {"one\rtwo\r", {"one", "two"}},
        {"one\ntwo\n", {"one", "two"}},
        {"one\r\ntwo", {"one", "two"}}, // a last line without its end counts
        {"\r\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}},             // an empty line is an entry
        {"a\n\rb", {"a", "", "b"}},                 // LF then CR are two ends
        {"a\r\r\nb\n", {"a", "", "b"}},             // CR, then CR LF
        {"  two words \t\r\n", {"  two words \t"}}, // nothing trimmed
        {"mixed\rends\nhere\r\n", {"mixed", "ends", "here"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitWordLines(c.text), c.entries) << c.text.toStdString();
}

class WordFiles : public sonorel::test::TempDirTest {
protected:
    QString write(const QByteArray& bytes) {
        QFile f(path("words.txt"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
};

TEST_F(WordFiles, ReadInTheEncodingsTheReaderReads) {
    const QStringList expected{QString::fromUtf8("café"), QString::fromUtf8("Straße")};
    EXPECT_EQ(readWordList(write("caf\xC3\xA9\r\nStra\xC3\x9F"
                                 "e\r\n")),
              expected);
    EXPECT_EQ(readWordList(write("\xEF\xBB\xBF"
                                 "caf\xC3\xA9\nStra\xC3\x9F"
                                 "e\n")),
              expected);
    // Windows-1252: bytes that are not UTF-8.
    EXPECT_EQ(readWordList(write("caf\xE9\r\nStra\xDF"
                                 "e")),
              expected);
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : QString::fromUtf8("café\r\nStraße")) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    EXPECT_EQ(readWordList(write(le)), expected);
    EXPECT_EQ(readWordList(write(be)), expected);
}

TEST_F(WordFiles, AMissingFileOrAFolderReadsAsNothing) {
    EXPECT_FALSE(readWordList(path("none.txt")));
    EXPECT_FALSE(readWordList(path()));
    EXPECT_EQ(readWordList(write("")), QStringList());
}
