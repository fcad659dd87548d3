#include "platform/textfile.h"
#include "support/unusualfiles.h"
#include "support/tempdir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <random>

using namespace sonorel::platform;

// Readable failure messages.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString rtfSample(const char* name) {
    return QStringLiteral(SONOREL_TESTDATA "/rtf/") + name;
}

QStringList words(const QString& text) {
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QString rtf(const char* body) {
    return rtfToPlainText(QByteArray(body));
}

// Whatever the input, the text has no NULs or unpaired surrogates and is never
// longer than the input: every character comes from at least one input byte.
void expectSaneText(const QByteArray& input) {
    const QString out = rtfToPlainText(input);
    ASSERT_LE(out.size(), input.size()) << input.left(200).toStdString();
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        ASSERT_NE(c.unicode(), 0);
        if (c.isHighSurrogate())
            ASSERT_TRUE(i + 1 < out.size() && out[++i].isLowSurrogate());
        else
            ASSERT_FALSE(c.isLowSurrogate());
    }
}

} // namespace

TEST(PlainText, Utf8WithOrWithoutBomLineEndsKept) {
    EXPECT_EQ(decodePlainText("\xEF\xBB\xBF"
                              "Caf\xC3\xA9\r\nna\xC3\xAFve\n"),
              u"Café\r\nnaïve\n");
    EXPECT_EQ(decodePlainText("\xE2\x82\xAC 5\r"), u"€ 5\r");
    EXPECT_EQ(decodePlainText("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(decodePlainText(""), u"");
}

TEST(PlainText, Utf16ByteOrderMarks) {
    EXPECT_EQ(decodePlainText(QByteArray("\xFF\xFE"
                                         "A\0\xE9\0\x3D\xD8\x00\xDE\n\0",
                                         12)),
              u"Aé\U0001F600\n");
    EXPECT_EQ(decodePlainText(QByteArray("\xFE\xFF\0A\x04\x1F", 6)), u"AП");
}

TEST(PlainText, AnythingNotUtf8IsWindows1252Throughout) {
    EXPECT_EQ(decodePlainText("\x93quoted\x94 \x80"
                              "5"),
              u"“quoted” €5");
    EXPECT_EQ(decodePlainText("caf\xE9"), u"café");
    // One bad byte makes the valid UTF-8 around it 1252 as well.
    EXPECT_EQ(decodePlainText("\xC3\xA9 \x96"), u"Ã© –");
    // Overlong forms and encoded surrogates are not UTF-8.
    EXPECT_EQ(decodePlainText("\xC0\xAF"), u"À¯");
    EXPECT_EQ(decodePlainText("\xED\xA0\x80"), u"í\u00A0€");
    // Bytes 1252 leaves undefined keep their C1 values.
    EXPECT_EQ(decodePlainText("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
}

TEST(Rtf, UnicodeEscapesSkipTheirFallbacks) {
    EXPECT_EQ(rtf(R"({\rtf1 a\u233?b})"), u"aéb"); // \uc1 by default
    EXPECT_EQ(rtf(R"({\rtf1\uc0 a\u233 b})"), u"aéb");
    EXPECT_EQ(rtf(R"({\rtf1\uc2 \u1055\'cf\'cfx\u1056 ab})"), u"ПxР");
    EXPECT_EQ(rtf(R"({\rtf1\uc1 \u8226\tab x})"), u"•x"); // a control word is one fallback
    EXPECT_EQ(rtf(R"({\rtf1 \u-3913?\u-10179?\u-8704?})"), u"\uF0B7\U0001F600");
    EXPECT_EQ(rtf(R"({\rtf1\uc0 \u55357\uc1 \u56832?!})"), u"\U0001F600!");
    // Halves of a pair that do not meet are not text.
    EXPECT_EQ(rtf(R"({\rtf1\uc0 \u55357 x\u56832 y\u55357})"), u"\uFFFDx\uFFFDy\uFFFD");
}

TEST(Rtf, UcIsScopedToItsGroupAndFallbacksEndWithTheGroup) {
    EXPECT_EQ(rtf(R"({\rtf1\uc2 {\uc0 \u65 B}\u67 DEF{\u68 GH}\u69 {I}})"), u"ABCFDEI");
}

TEST(Rtf, HexBytesInTheDocumentCodePage) {
    EXPECT_EQ(rtf(R"({\rtf1\ansi \'93caf\'e9\'94 \'80\'81})"), u"“café” €\u0081");
    EXPECT_EQ(rtf(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})"), u"Привет");
    // Double-byte characters, also with the trail byte written as it stands.
    EXPECT_EQ(rtf("{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96{\\'7b}\\'82\r\n\\'a0\\'95\\\\\\'83e"),
              u"日\uFFFD{あ表テ");
}

TEST(Rtf, FontCharsetChoosesTheCodePageUntilTheGroupEnds) {
    const char* doc = R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss\fcharset0 Arial;}
{\f1\fnil\fcharset204{\*\panose 0}Arial Cyr;}{\f2\fcharset128 Gothic;}\f3\fcharset238\cpg1253 X;}
\'cf{\f1\'cf\plain\'cf\f2\'82\'a0}\'cf\f3\'e1})";
    EXPECT_EQ(rtf(doc), u"ÏПÏあÏα");
}

TEST(Rtf, DestinationsAreSkippedFieldResultsAndListNumbersKept) {
    const char* doc = R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red0;}{\stylesheet{\s0 Normal;}}
{\info{\title T}{\author A}}{\*\generator G;}{\header H}{\footerl F}{\listtable{\list L}}
{\*\unknown{nested}text}{\pict\pngblip 89504e47}{\object{\objdata 01}}
{\listtext 1.\tab}Go to {\field{\*\fldinst HYPERLINK "x"}{\fldrslt here}}{\footnote N}.\par
{\pntext\'b7\tab}Next{\*\bkmkstart b}\par})";
    EXPECT_EQ(rtf(doc), u"1.\tGo to here.\n·\tNext\n");
}

TEST(Rtf, ControlWordsAndSymbols) {
    EXPECT_EQ(rtf(R"({\rtf1 a\{b\}c\\d\~e\-f\_g})"), u"a{b}c\\d\u00A0ef\u2011g");
    EXPECT_EQ(rtf(R"({\rtf1 a\par b\line c\tab d\cell e\row f\sect g\page h})"),
              u"a\nb\nc\td\te\nf\ng\nh");
    EXPECT_EQ(rtf(R"({\rtf1\emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})"), u"—–•‘’“”");
    // Source line breaks are not text; after a backslash they end a paragraph.
    EXPECT_EQ(rtf("{\\rtf1 one\r\ntwo\\\nthree\\par\r\n four}"), u"onetwo\nthree\n four");
    // The space ends the word; a parameter may be negative; unknown words vanish.
    EXPECT_EQ(rtf(R"({\rtf1\fi-283 \b bold\b0  x\zzzunknown42 y})"), u"bold xy");
}

// A reader that knows nested tables reads the nested row and skips the group
// written for readers that do not; the row's properties are not text.
TEST(Rtf, NestedTablesAreReadOnceWithoutTheirFallback) {
    EXPECT_EQ(
        rtf(R"({\rtf1\ansi\trowd\cellx5000\pard\intbl\itap2 X\nestcell{\*\nesttableprops\trowd\cellx4000\nestrow}{\nonesttables FALLBACK\par}\pard\intbl\itap1 Y\cell\row})"),
        u"X\t\nY\t\n");
    // Two nested rows, the second starting with an empty cell, stay two lines.
    EXPECT_EQ(
        rtf(R"({\rtf1\trowd\cellx5000\pard\intbl\itap2 A\nestcell{\*\nesttableprops\nestrow}{\nonesttables A\par}\nestcell B\nestcell{\*\nesttableprops junk\nestrow}{\nonesttables B\par}\pard\intbl\itap1\cell\row})"),
        u"A\t\n\tB\t\n\t\n");
    // Only the body's own nested-row properties can end a row: not the same
    // words inside another ignorable group or the font table.
    EXPECT_EQ(
        rtf(R"({\rtf1{\fonttbl{\*\nesttableprops\nestrow}{\f0 A;}}{\*\x{\nesttableprops\nestrow}}a{\*{\nesttableprops\nestrow}}b})"),
        u"ab");
}

TEST(Rtf, HiddenTextIsNotRead) {
    EXPECT_EQ(rtf(R"({\rtf1 a{\v hidden}b\v c\v0 d\v1 e\plain f{\v0 g}})"), u"abdfg");
    // A hidden paragraph mark joins its paragraph to the next; a hidden
    // character's fallback is skipped all the same.
    EXPECT_EQ(rtf(R"({\rtf1 one{\v note\par}two\par x\v\u8226?\'b7\tab\line\v0 y})"),
              u"onetwo\nxy");
    // Table structure stays even where the cell marks are hidden.
    EXPECT_EQ(
        rtf(R"({\rtf1\trowd\cellx1000\cellx2000\pard\intbl A{\v  note}\cell{\v B\cell}\row})"),
        u"A\t\t\n");
}

TEST(Rtf, AParagraphMarkJustBeforeACellEndDoesNotSplitTheRow) {
    EXPECT_EQ(
        rtf(R"({\rtf1\ansi\trowd\cellx1000\cellx2000\pard\intbl A\par\cell\pard\intbl B\par\cell\row})"),
        u"A\tB\t\n");
    // Paragraphs inside one cell keep their break; empty trailing paragraphs,
    // hidden text and words without text between the mark and the cell end
    // do not count; nested cells work the same.
    EXPECT_EQ(
        rtf(R"({\rtf1\trowd\cellx1000\cellx2000\pard\intbl A\par B\par\par\pard\intbl\plain{\v x}{\b }\cell C\par
\nestcell\row after\par\par end})"),
        u"A\nB\tC\t\nafter\n\nend");
    // Outside a cell, marks are kept as they were, also at the very end.
    EXPECT_EQ(rtf(R"({\rtf1 a\par\par}x)"), u"a\n\n");
    EXPECT_EQ(rtf("{\\rtf1 a\\\r\n\\cell b\\\n}"), u"a\tb\n");
}

TEST(Rtf, SymbolFontCharactersReadAsTheirMeaning) {
    const char* fonts =
        R"({\rtf1\ansi\deff0{\fonttbl{\f0\fcharset0 Times New Roman;}{\f1\froman\fcharset2 Symbol;}
{\f2 Symbol ;}{\f3\fcharset2{\*\panose 05050102010706020507}MathPi;}{\f4\fnil\fcharset2 Wingdings;}}
)";
    auto doc = [&](const char* body) { return rtf((QByteArray(fonts) + body + "}").constData()); };
    // Bullet, Greek letters, arrows and operators; the font ends with its group.
    EXPECT_EQ(doc(R"({\f1\'b7 abgDW\'ae\'de\'ab\'b3\'a5\'d6} ab \'b7)"), u"• αβγΔΩ→⇒↔≥∞√ ab ·");
    EXPECT_EQ(doc(R"(\f2\'b7\f3\'b7p\plain\'b7)"), u"••π·");
    // Private-use escapes stand for the same characters, in a Symbol font only.
    EXPECT_EQ(doc(R"(\f1\u61623\'b7\u-3913?\u61537?\u8226?\f0\u61623?)"), u"••α•\uF0B7");
    // Bytes the font has no character for are undecodable; a picture font is not Symbol.
    EXPECT_EQ(doc(R"(\f1\'80\'ff)"), u"\uFFFD\uFFFD");
    EXPECT_NE(doc(R"(\f4\'a7)"), u"♣");
}

TEST(Rtf, BinaryDataIsSkippedByCount) {
    EXPECT_EQ(rtf("{\\rtf1 a\\bin5 }{\\'x b}"), u"a b");
    EXPECT_EQ(rtf("{\\rtf1 a{\\*\\blob\\bin3 }}}}b}c"), u"ab");
    EXPECT_EQ(rtf("{\\rtf1 a\\bin99999999999 }}}b}"), u"a");
}

TEST(Rtf, DocumentEndsWithItsGroup) {
    EXPECT_EQ(rtf("\xEF\xBB\xBF\r\n{\\rtf1 in}out{more}"), u"in");
    EXPECT_EQ(rtf("{\\rtf1 truncated {\\b bo"), u"truncated bo");
    EXPECT_EQ(rtf("no group here"), u"");
}

TEST(Rtf, RealDocumentsHaveTheWordsOfTheirPlainTextExport) {
    for (const char* name : {"simple", "styled", "multilingual"}) {
        SCOPED_TRACE(name);
        const QByteArray rtfBytes = readAll(rtfSample(name) + ".rtf");
        const QByteArray txtBytes = readAll(rtfSample(name) + ".txt");
        ASSERT_FALSE(rtfBytes.isEmpty());
        ASSERT_TRUE(txtBytes.startsWith("\xEF\xBB\xBF"));
        const QString reference = decodePlainText(txtBytes);
        ASSERT_FALSE(reference.startsWith(QChar(0xFEFF)));
        EXPECT_EQ(reference, QString::fromUtf8(txtBytes.mid(3)));

        const QString text = rtfToPlainText(rtfBytes);
        EXPECT_EQ(words(text), words(reference));
        // Without lists and tables the paragraphs match line for line.
        if (qstrcmp(name, "styled") != 0) {
            EXPECT_EQ(text.split('\n'), reference.split('\n'));
        }
        EXPECT_EQ(loadTextFile(rtfSample(name) + ".rtf"), text);
        EXPECT_EQ(loadTextFile(rtfSample(name) + ".txt"), reference);
    }
}

TEST(LooksLikeRtf, OnlyAnRtfGroupAtTheStart) {
    EXPECT_TRUE(looksLikeRtf("{\\rtf1\\ansi}"));
    EXPECT_TRUE(looksLikeRtf("\xEF\xBB\xBF \r\n\t{\\rtf"));
    EXPECT_FALSE(looksLikeRtf("x{\\rtf1}"));
    EXPECT_FALSE(looksLikeRtf("{\\rt"));
    EXPECT_FALSE(looksLikeRtf("{\\RTF1}"));
}

class TextFileLoad : public sonorel::test::TempDirTest {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
};

TEST_F(TextFileLoad, ConvertsRtfAndDecodesTheRest) {
    EXPECT_EQ(loadTextFile(write("a.txt", "\r\n {\\rtf1 \\'93x\\'94}")), u"“x”");
    EXPECT_EQ(loadTextFile(write("b.txt", "\x93x\x94\r\n")), u"“x”\r\n");
    EXPECT_EQ(loadTextFile(write("c.rtf", "")), u"");
}

TEST_F(TextFileLoad, NothingWhenTheFileCannotBeRead) {
    EXPECT_FALSE(loadTextFile(path("missing.txt")).has_value());
    EXPECT_FALSE(loadTextFile(path()).has_value()); // a folder
}

// Only a regular file of legal size is read; nothing else is even opened in a way
// that could wait or read without end.
TEST_F(TextFileLoad, OnlyRegularFilesUpToTheLimitAreRead) {
    {
        // The writer would let a loader that opens the FIFO read it to its end.
        const sonorel::test::FifoWithWriter fifo(path("pipe"), "words from a pipe");
        ASSERT_TRUE(fifo.made());
        EXPECT_EQ(loadTextFile(path("pipe")), std::nullopt);
    }
    EXPECT_EQ(loadTextFile("/dev/zero"), std::nullopt);
    EXPECT_EQ(loadTextFile(path()), std::nullopt);

    QFile limit(path("limit.txt"));
    ASSERT_TRUE(limit.open(QIODevice::WriteOnly));
    ASSERT_TRUE(limit.resize(kMaxTextFileBytes)); // zeros, without writing them
    limit.close();
    const auto atLimit = loadTextFile(path("limit.txt"));
    ASSERT_TRUE(atLimit.has_value());
    EXPECT_EQ(atLimit->size(), kMaxTextFileBytes);
    ASSERT_TRUE(limit.resize(kMaxTextFileBytes + 1));
    EXPECT_EQ(loadTextFile(path("limit.txt")), std::nullopt);

    const QString secret = write("secret.txt", "not for you");
    {
        const sonorel::test::UnreadableFile unreadable(path(), secret);
        ASSERT_TRUE(unreadable.ready());
        EXPECT_EQ(loadTextFile(secret), std::nullopt);
    }
    EXPECT_EQ(loadTextFile(secret), u"not for you");
}

TEST_F(TextFileLoad, ARefusalSaysWhy) {
    const auto refusal = [](const QString& name) { return readTextFile(name).refusal; };
    EXPECT_EQ(refusal(path("missing.txt")), TextFileRefusal::Missing);
    EXPECT_EQ(refusal(write("a.txt", "x").append(QChar(0)).append("y")),
              TextFileRefusal::Missing); // a NUL ends no name early
    EXPECT_EQ(refusal(path("a.txt/below")), TextFileRefusal::Missing);
    EXPECT_EQ(refusal(""), TextFileRefusal::Missing);
    EXPECT_EQ(refusal(path()), TextFileRefusal::Folder);
    EXPECT_EQ(refusal("/dev/null"), TextFileRefusal::NotRegular);
    {
        const sonorel::test::FifoWithWriter fifo(path("pipe"), "x");
        EXPECT_EQ(refusal(path("pipe")), TextFileRefusal::NotRegular);
    }
    QFile big(path("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(kMaxTextFileBytes + 1));
    big.close();
    EXPECT_EQ(refusal(path("big.txt")), TextFileRefusal::TooLarge);
    EXPECT_EQ(readTextFile(write("b.txt", "fine")).refusal, TextFileRefusal::None);
    const QString secret = write("secret.txt", "x");
    const sonorel::test::UnreadableFile unreadable(path(), secret);
    ASSERT_TRUE(unreadable.ready());
    const TextFileResult denied = readTextFile(secret);
    EXPECT_EQ(denied.refusal, TextFileRefusal::Unreadable);
    EXPECT_EQ(denied.reason, QString::fromLocal8Bit(std::strerror(EACCES)));
}

// Generated hostile input: none of it may crash, hang or throw, and the text
// must stay sane. The seed is fixed so a failure can be reproduced.
TEST(RtfRobustness, TruncatedRealDocuments) {
    for (const char* name : {"simple.rtf", "styled.rtf", "multilingual.rtf"}) {
        const QByteArray doc = readAll(rtfSample(name));
        for (qsizetype n = 0; n <= doc.size(); ++n)
            ASSERT_NO_FATAL_FAILURE(expectSaneText(doc.left(n)));
    }
}

TEST(RtfRobustness, MutatedRealDocumentsAndTokenSoup) {
    std::mt19937 rng(20240611);
    auto pick = [&](std::size_t n) { return rng() % n; };
    const QByteArray docs[] = {readAll(rtfSample("styled.rtf")),
                               readAll(rtfSample("multilingual.rtf"))};
    for (int i = 0; i < 3000; ++i) {
        QByteArray doc = docs[i % 2];
        for (int m = 1 + pick(8); m > 0; --m)
            doc[pick(doc.size())] = char(pick(256));
        ASSERT_NO_FATAL_FAILURE(expectSaneText(doc));
    }
    const char* tokens[] = {"{",
                            "}",
                            "{\\*",
                            "\\u-1",
                            "\\u55357",
                            "\\u56832 ",
                            "\\u65536",
                            "\\uc",
                            "\\uc3 ",
                            "\\uc99999999999",
                            "\\'",
                            "\\'8",
                            "\\'82",
                            "\\'a0",
                            "\\bin",
                            "\\bin2 ",
                            "\\bin-7",
                            "\\f1",
                            "\\f-1",
                            "\\fonttbl",
                            "\\fcharset128",
                            "\\fcharset163",
                            "\\cpg65001",
                            "\\ansicpg932",
                            "\\ansicpg1258",
                            "\\ansicpg-4",
                            "\\deff1",
                            "\\plain",
                            "\\par",
                            "\\pict",
                            "\\fldrslt",
                            "\\",
                            "text",
                            " ",
                            "\r\n",
                            "\x82",
                            "\xE1",
                            "\\~",
                            "\\-",
                            "\\\\",
                            "\\{",
                            "\\}",
                            "\\\n",
                            "\\u-99999999999",
                            "\\v",
                            "\\v0",
                            "\\cell",
                            "\\nestcell",
                            "\\nestrow",
                            "\\nesttableprops",
                            "\\nonesttables",
                            "\\fcharset2",
                            "Symbol;",
                            "\\u61623"};
    for (int i = 0; i < 3000; ++i) {
        QByteArray soup = "{\\rtf1";
        for (int t = 1 + pick(60); t > 0; --t)
            soup += tokens[pick(std::size(tokens))];
        ASSERT_NO_FATAL_FAILURE(expectSaneText(soup));
    }
}

TEST(RtfRobustness, DeepNestingHugeParametersAndLongRuns) {
    const QByteArray deep =
        "{\\rtf1 a" + QByteArray(100000, '{') + "b" + QByteArray(100000, '}') + "c}";
    EXPECT_EQ(rtfToPlainText(deep), u"abc");
    EXPECT_EQ(rtfToPlainText("{\\rtf1" + QByteArray(200000, '{') + "\\uc0 x"), u"x");
    // Long runs that a careless reader would handle in quadratic time.
    for (const char* unit :
         {"\\'8", "\\abcdefghij", "\\u1", "\\*", "\\'82", "{}", "\\par", "\\bin1 ",
          "\\uc99999999999 \\u1", "\\par\\cell", "{\\*\\nesttableprops\\nestrow}", "\\v"})
        ASSERT_NO_FATAL_FAILURE(expectSaneText("{\\rtf1 " + QByteArray(unit).repeated(200000)));
    ASSERT_NO_FATAL_FAILURE(
        expectSaneText("{\\rtf1\\ansicpg932 " + QByteArray("\\'82\\'a0\\'82").repeated(100000)));
    ASSERT_NO_FATAL_FAILURE(expectSaneText("{\\rtf1\\u" + QByteArray(100000, '9') + " }"));
}

// Any input that ever crashes or hangs the reader goes into rtf-crashes/. None
// has so far; the folder starts with the nastiest inputs made while testing:
// deep open groups, overflowing parameters, characters split across code pages.
TEST(RtfRobustness, SavedRegressionInputs) {
    const QDir dir(QStringLiteral(SONOREL_RTF_CRASHES));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_NO_FATAL_FAILURE(expectSaneText(readAll(dir.filePath(file))));
    }
}
