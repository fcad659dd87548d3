// A batch job with the real voices of both families and the real encoder.

#include "app/readerfixture.h"
#include "batch/batchtext2sound.h"
#include "shared/recordcodec.h"
#include "support/wavefile.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

using namespace sonorel;
using namespace sonorel::test;

namespace {
// Seconds of sound in `mp3`, decoded by the encoder itself; -1 when it cannot.
double decodedSeconds(const QString& mp3, const QString& wav) {
    QProcess lame;
    lame.start("lame", {"--quiet", "--decode", mp3, wav});
    if (!lame.waitForFinished(60000) || lame.exitCode() != 0)
        return -1;
    return readWave(wav).seconds();
}
} // namespace

TEST(RealBatch, ThreeTextFilesBecomeThreeMp3sWithAFliteAndAnEspeakVoice) {
    RealWindow real;
    ASSERT_TRUE(real.loaded);
    const QDir dir(real.dir.path());
    ASSERT_TRUE(dir.mkpath("texts"));
    ASSERT_TRUE(dir.mkpath("out dir"));
    ASSERT_TRUE(writeFileAtomically(dir.filePath("speak.dot"), "probe"));
    const QStringList names = {"plain.txt", "with blank.txt", "accents.txt"};
    ASSERT_TRUE(writeFileAtomically(dir.filePath("texts/plain.txt"),
                                    "A plain text file. It has two sentences."));
    ASSERT_TRUE(writeFileAtomically(dir.filePath("texts/with blank.txt"),
                                    "This file has a blank in its name."));
    ASSERT_TRUE(writeFileAtomically(dir.filePath("texts/accents.txt"),
                                    "Caf\xc3\xa9, na\xc3\xafve, r\xc3\xa9sum\xc3\xa9: accents in "
                                    "UTF-8, spoken all the same."));
    real.program.win.BatchSourceFolder = dir.filePath("texts");
    real.program.win.BatchTargetFolder = dir.filePath("out dir");

    for (const char* voice : {"Mary (TTS4.0)", "English (America) (TTS5.0)"}) {
        SCOPED_TRACE(voice);
        real.pick(voice);
        batch::BatchText2Sound w8(real.services, real.program, real.w);
        w8.Check1->click();
        w8.Command2->click();
        ASSERT_FALSE(w8.JobIdle());
        ASSERT_TRUE(spinUntil([&] { return w8.JobIdle(); }, 120000));
        ASSERT_TRUE(real.dialogs.messages.isEmpty()) << real.dialogs.messages[0].text.toStdString();
        ASSERT_EQ(real.dialogs.notices.size(), 1);
        EXPECT_EQ(real.dialogs.notices[0].text, "Converting is complete\n3 of 3 files converted.");
        real.dialogs.notices.clear();
        for (const QString& name : names) {
            const QString mp3 = dir.filePath("out dir/" + name.chopped(3) + "mp3");
            EXPECT_TRUE(looksLikeMp3(mp3)) << mp3.toStdString();
            const double seconds = decodedSeconds(mp3, dir.filePath("decoded.wav"));
            EXPECT_GT(seconds, 1.0) << mp3.toStdString(); // about 2 to 4 s of speech
            EXPECT_LT(seconds, 15.0) << mp3.toStdString();
            ASSERT_TRUE(QFile::remove(mp3));
        }
        EXPECT_TRUE(QDir(dir.filePath("tmp")).isEmpty()) << "no temporaries are left";
    }
}
