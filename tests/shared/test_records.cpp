#include "shared/records.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QRandomGenerator>

using namespace sonorel;

namespace {
QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}
QByteArray counted(const QByteArray& utf8) {
    return QByteArray(1, char(utf8.size() & 0xFF)) + char(utf8.size() >> 8) + utf8;
}
QByteArray i32(std::int32_t v) {
    QByteArray b;
    for (int s = 0; s < 32; s += 8)
        b.append(char((std::uint32_t(v) >> s) & 0xFF));
    return b;
}
} // namespace

TEST(RecordLayouts, IEVoiceNameDefaultIs18Bytes) {
    const QByteArray b = encodeRecord(IEVoiceNameRecord{"Mary (TTS4.0)", "4"});
    EXPECT_EQ(b, QByteArray("\x0d\x00Mary (TTS4.0)\x01\x00"
                            "4",
                            18));
    EXPECT_EQ(decodeRecord<IEVoiceNameRecord>(b), (IEVoiceNameRecord{"Mary (TTS4.0)", "4"}));
}

TEST(RecordLayouts, Tomp3HoldsTwoCountedFolders) {
    const QByteArray b = encodeRecord(Tomp3Folders{"C:\\Sounds\\", "D:\\Out\\"});
    ASSERT_EQ(b.size(), 21);
    EXPECT_EQ(b.left(2), hex("0a00"));
    EXPECT_EQ(b, counted("C:\\Sounds\\") + counted("D:\\Out\\"));
}

TEST(RecordLayouts, DefaultClockSettingsAre87BytesForAShortFolder) {
    const ClockSettings c = ClockSettings::defaults("C:\\App");
    const QByteArray b = encodeRecord(c);
    ASSERT_EQ(b.size(), 87);
    const QByteArray expected = i32(1) + i32(1) + i32(1) + counted("The time is") +
                                counted("o'clock") + counted("minute") +
                                counted(c.BellFile.toUtf8()) + i32(0) + i32(0) + i32(0) + i32(70) +
                                i32(0) + i32(25) + i32(70);
    EXPECT_EQ(b, expected);
    EXPECT_EQ(c.BellFile.size(), 15);
}

TEST(RecordLayouts, LongerFolderMovesOnlyTheBellText) {
    const QByteArray shortFolder = encodeRecord(ClockSettings::defaults("/a"));
    const QByteArray longFolder = encodeRecord(ClockSettings::defaults("/a/much/longer/folder"));
    EXPECT_EQ(longFolder.size() - shortFolder.size(), 19);
    EXPECT_EQ(longFolder.right(28), shortFolder.right(28));
}

TEST(RecordLayouts, TTSSetsIs18BytesPlusTheName) {
    const TTSSets s{5, 3, QString::fromUtf8("Grüne"), 55, 40};
    const QByteArray b = encodeRecord(s);
    EXPECT_EQ(b, i32(5) + i32(3) + counted("Gr\xc3\xbcne") + i32(55) + i32(40));
    EXPECT_EQ(b.size(), 18 + 6);
    EXPECT_EQ(decodeRecord<TTSSets>(b), s);
}

TEST(RecordLayouts, WinSetsIs106BytesPlusItsFourteenTexts) {
    WinSets w; // every text empty
    w.OpenExt.clear();
    w.SaveExt.clear();
    w.TextFontBold.clear();
    w.SlideFontBold.clear();
    EXPECT_EQ(encodeRecord(w).size(), 106);

    WinSets d = WinSets::defaults("/opt/sonorel", "/home/u");
    d.TextFontName = "DejaVu Sans";
    d.TextFontSize = "10.5";
    d.WinLeft = -120;
    d.SlideBackColor = 0x00336699;
    const QByteArray b = encodeRecord(d);
    qsizetype texts = 0;
    for (const QString* t :
         {&d.OpenFolder, &d.SaveFolder, &d.OpenExt, &d.SaveExt, &d.TextFontName, &d.TextFontBold,
          &d.TextFontSize, &d.BatchDrive, &d.BatchSourceFolder, &d.BatchTargetFolder,
          &d.SlideFolder, &d.SlideFontName, &d.SlideFontBold, &d.SlideFontSize})
        texts += t->toUtf8().size();
    EXPECT_EQ(b.size(), 106 + texts);
    EXPECT_EQ(decodeRecord<WinSets>(b), d);
    // The state and visibility open the record: 2 as 32 bits, then true as -1 in 16 bits.
    EXPECT_EQ(b.left(6), hex("02000000ffff"));
    EXPECT_EQ(b.mid(6, 4), hex("88ffffff"));
}

TEST(RecordLayouts, ShortFileReadsTheRestAsZerosAndEmptyTexts) {
    const QByteArray full = encodeRecord(TTSSets{4, 2, "Mary", 50, 60});
    const TTSSets cut = decodeRecord<TTSSets>(full.left(11));
    EXPECT_EQ(cut.EngineGeneration, 4);
    EXPECT_EQ(cut.VoiceIndex, 2);
    EXPECT_EQ(cut.VoiceName, "M");
    EXPECT_EQ(cut.RateValue, 0);
    EXPECT_EQ(cut.PitchValue, 0);
    // Trailing bytes after the record are ignored.
    EXPECT_EQ(decodeRecord<TTSSets>(full + "garbage"), (TTSSets{4, 2, "Mary", 50, 60}));
}

TEST(RecordLayouts, FontBoldIsKeptAsText) {
    EXPECT_EQ(boolFromText("True"), true);
    EXPECT_EQ(boolFromText("False"), false);
    EXPECT_EQ(boolFromText("maybe"), std::nullopt);
    EXPECT_EQ(textFromBool(true), "True");
}

// Every record reader over truncated, overlong and random files: no crash, and a
// re-encoded result decodes to itself.
template <class Record> void fuzzRecord(const Record& sample, QRandomGenerator& rng) {
    const QByteArray good = encodeRecord(sample);
    std::vector<QByteArray> inputs;
    for (qsizetype n = 0; n <= good.size(); ++n)
        inputs.push_back(good.left(n));
    inputs.push_back(good + QByteArray(70000, '\xff'));
    for (int i = 0; i < 1500; ++i) {
        QByteArray b = good;
        for (int flips = rng.bounded(1, 6); flips > 0 && !b.isEmpty(); --flips)
            b[rng.bounded(int(b.size()))] = char(rng.bounded(256));
        inputs.push_back(b);
        QByteArray noise(rng.bounded(0, 300), Qt::Uninitialized);
        for (char& c : noise)
            c = char(rng.bounded(256));
        inputs.push_back(noise);
    }
    for (const QByteArray& input : inputs) {
        const Record r = decodeRecord<Record>(input);
        ASSERT_EQ(decodeRecord<Record>(encodeRecord(r)), r);
    }
}

TEST(RecordLayouts, ReadersSurviveDamagedFiles) {
    QRandomGenerator rng(20261207);
    fuzzRecord(TTSSets{4, 1, "Mary", 50, 50}, rng);
    fuzzRecord(WinSets::defaults("/opt/sonorel", "/home/u"), rng);
    fuzzRecord(ClockSettings::defaults("/opt/sonorel"), rng);
    fuzzRecord(Tomp3Folders{"/a/", "/b/"}, rng);
    fuzzRecord(IEVoiceNameRecord{"Mary (TTS4.0)", "4"}, rng);
}

class RecordFiles : public test::TempDirTest {};

TEST_F(RecordFiles, SaveAndLoadRoundTrip) {
    const ClockSettings c = ClockSettings::defaults(path());
    ASSERT_TRUE(saveRecord(path("stime.ini"), c));
    EXPECT_EQ(loadRecord<ClockSettings>(path("stime.ini")), c);
    // Saving twice gives byte-identical files.
    const QByteArray first = readWholeFile(path("stime.ini"));
    ASSERT_TRUE(saveRecord(path("stime.ini"), c));
    EXPECT_EQ(readWholeFile(path("stime.ini")), first);
}

TEST_F(RecordFiles, MissingFileLoadsAsZeros) {
    const TTSSets s = loadRecord<TTSSets>(path("absent.ini"));
    EXPECT_EQ(s, (TTSSets{0, 0, {}, 0, 0}));
}
