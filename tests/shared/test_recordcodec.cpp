#include "shared/recordcodec.h"
#include "support/tempdir.h"
#include "support/writefailure.h"

#include <gtest/gtest.h>
#include <QFile>

using namespace sonorel;

namespace {
QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}
} // namespace

TEST(RecordCodec, WritesLittleEndianFieldsWithoutPadding) {
    RecordWriter w;
    w.int16(-2);
    w.int32(0x01020304);
    w.boolean(true);
    w.boolean(false);
    w.text("Ab");
    w.text("");
    w.color(0xFFFFFF);
    EXPECT_EQ(w.bytes(), bytes({0xFE, 0xFF, 4,   3,   2, 1, 0xFF, 0xFF, 0,    0,
                                2,    0,    'A', 'b', 0, 0, 0xFF, 0xFF, 0xFF, 0}));
}

TEST(RecordCodec, TextsAreCountedInUtf8Bytes) {
    RecordWriter w;
    w.text(QString::fromUtf8("Köln 東"));
    ASSERT_EQ(w.bytes().size(), 2 + 9);
    EXPECT_EQ(w.bytes().left(2), bytes({9, 0}));
    RecordReader r(w.bytes());
    EXPECT_EQ(r.text(), QString::fromUtf8("Köln 東"));
}

TEST(RecordCodec, OverlongTextIsCutAtACharacterBoundary) {
    const QString text = QString(40000, QChar(0x00E9)); // 80000 UTF-8 bytes
    RecordWriter w;
    w.text(text);
    w.int32(7);
    RecordReader r(w.bytes());
    const QString back = r.text();
    EXPECT_EQ(back.size(), 32767);
    EXPECT_EQ(back, text.left(32767));
    EXPECT_EQ(r.int32(), 7);
}

TEST(RecordCodec, ReaderGivesZerosAndEmptyTextsPastTheEnd) {
    RecordReader r(bytes({0x05, 0x00, 0x00}));
    EXPECT_EQ(r.int32(), 5); // the missing fourth byte reads as 0
    EXPECT_EQ(r.int16(), 0);
    EXPECT_FALSE(r.boolean());
    EXPECT_EQ(r.text(), QString());
    EXPECT_TRUE(r.atEnd());
}

TEST(RecordCodec, ByteCountRunningPastTheEndYieldsTheBytesThere) {
    RecordReader r(bytes({10, 0, 'a', 'b', 'c'}));
    EXPECT_EQ(r.text(), "abc");
    EXPECT_EQ(r.int32(), 0);
}

TEST(RecordCodec, AnyNonZeroBooleanIsTrue) {
    RecordReader r(bytes({1, 0, 0xFF, 0xFF, 0, 0}));
    EXPECT_TRUE(r.boolean());
    EXPECT_TRUE(r.boolean());
    EXPECT_FALSE(r.boolean());
}

class AtomicWrite : public test::TempDirTest {};

TEST_F(AtomicWrite, ReplacesTheWholeFileAndLeavesNoTemporaries) {
    const QString file = path("stts.ini");
    ASSERT_TRUE(writeFileAtomically(file, QByteArray(100, 'x')));
    ASSERT_TRUE(writeFileAtomically(file, "short"));
    EXPECT_EQ(readWholeFile(file), "short");
    EXPECT_EQ(QDir(path()).entryList(QDir::Files | QDir::Hidden), QStringList{"stts.ini"});
}

TEST_F(AtomicWrite, FailedWriteKeepsThePreviousFile) {
    const QString file = path("swin.ini");
    ASSERT_TRUE(writeFileAtomically(file, "previous"));
    QString error;
    {
        test::FileSizeLimit limit(16);
        EXPECT_FALSE(writeFileAtomically(file, QByteArray(4096, 'n'), &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readWholeFile(file), "previous");
    EXPECT_EQ(QDir(path()).entryList(QDir::Files | QDir::Hidden), QStringList{"swin.ini"});
}

TEST_F(AtomicWrite, MissingFolderFailsWithoutCreatingAnything) {
    EXPECT_FALSE(writeFileAtomically(path("no/such/folder/stts.ini"), "x"));
    EXPECT_TRUE(readWholeFile(path("no/such/folder/stts.ini")).isEmpty());
}

TEST_F(AtomicWrite, PresenceTestComparesTheNameExactly) {
    ASSERT_TRUE(writeFileAtomically(path("STTS.INI"), "x"));
    EXPECT_FALSE(fileNamePresent(path(), "stts.ini"));
    EXPECT_TRUE(fileNamePresent(path(), "STTS.INI"));
    ASSERT_TRUE(writeFileAtomically(path("stts.ini"), "x"));
    EXPECT_TRUE(fileNamePresent(path(), "stts.ini"));
    QDir().mkpath(path("swin.ini")); // a folder of that name is no settings file
    EXPECT_FALSE(fileNamePresent(path(), "swin.ini"));
}
