// The speech-save chain on its own, without a window: scripted voices, an
// in-memory registry and a launcher double (a real process where the stage is
// about processes). What it tells its owner, in which order, and what it leaves
// on disk when a stage fails.

#include "export/growingfile.h"
#include "export/processwatch.h"
#include "export/report.h"
#include "export/speechrecording.h"
#include "platform/speech/sapi4.h"
#include "shared/recordcodec.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/scriptedengine.h"
#include "support/spin.h"
#include "support/tempdir.h"
#include "support/wavefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <thread>

using namespace sonorel;
using namespace sonorel::test;
using exporting::FinishReport;
using exporting::RecordingFailure;
using exporting::RecordingRequest;
namespace speech = platform::speech;

namespace {

const QString kText = "The first sentence is short. The second one is a little longer. "
                      "Here is a third. And a fourth one. The end.";

class SpeechSave : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_TRUE(QDir(path()).mkdir("tmp"));
        reading4.Select(1);
        reading5.setVoice(reading5.GetVoices().at(0));
        QObject::connect(&save, &exporting::SpeechRecording::progress,
                         [this](int percent, qint64) { said << QString::number(percent); });
        QObject::connect(&save, &exporting::SpeechRecording::progressCleared,
                         [this] { said << "cleared"; });
        QObject::connect(&save, &exporting::SpeechRecording::finished,
                         [this](const FinishReport& report) {
                             said << "finished";
                             finishes << report;
                         });
        QObject::connect(&save, &exporting::SpeechRecording::failed,
                         [this](const RecordingFailure& failure) {
                             said << "failed";
                             failures << failure;
                         });
    }

    RecordingRequest request(int generation, bool mp3, const QString& target) {
        return {.text = kText,
                .generation = generation,
                .mp3 = mp3,
                .target = target,
                .tempFolder = path("tmp"),
                .started = clock.now(),
                .voice = generation == 4 ? "Mary (TTS4.0)" : "English (TTS5.0)",
                .rate = "29",
                .pitch = "5",
                .reading4 = &reading4,
                .writer4 = &writer4,
                .reading5 = &reading5,
                .writer5 = &writer5};
    }

    // Waits for the wave-output thread without running events, so that the
    // chain's timers and the control's stop notification wait for the test.
    bool waitForWaveEnd() {
        for (int i = 0; i < 2000; ++i) {
            if (registry.dword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue) ==
                1u)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    const exporting::RecordingState& state() const { return save.state(); }

    ScriptedFamily gen4{{"Mary", "Kal"}};
    ScriptedFamily gen5{{"English", "German"}};
    MemoryRegistryStore registry;
    FakeClock clock;
    FakeLauncher processes;
    FakeProgramFolder folder{path()};
    speech::SinkFactory sinks = speech::makeSinkFactory(speech::AudioMode::Fast, "test");
    speech::DirectSS reading4{gen4, sinks};
    speech::Wavelin writer4{gen4, registry};
    speech::SpVoice reading5{gen5, sinks};
    speech::SpVoice writer5{gen5, sinks};
    exporting::SpeechRecording save{{registry, clock, processes, folder}};
    QStringList said;
    QList<FinishReport> finishes;
    QList<RecordingFailure> failures;
};

} // namespace

TEST_F(SpeechSave, StartsOnlyWhenIdleAndWithTheVoiceObjectsOfItsGeneration) {
    RecordingRequest unknown = request(4, false, path("a.wav"));
    unknown.generation = 0;
    EXPECT_FALSE(save.start(unknown));
    RecordingRequest noWriter = request(5, false, path("a.wav"));
    noWriter.writer5 = nullptr;
    EXPECT_FALSE(save.start(noWriter));
    EXPECT_FALSE(save.isRunning());
    EXPECT_EQ(save.Timer101->interval(), 0);
    EXPECT_EQ(registry.dword(speech::kWaveEndRoot, speech::kWaveEndKey, speech::kWaveEndValue),
              std::nullopt)
        << "nothing was rendered";

    gen4.synth->delayPerCallMs = 100;
    ASSERT_TRUE(save.start(request(4, false, path("first.wav"))));
    EXPECT_TRUE(save.isRunning());
    EXPECT_FALSE(save.start(request(5, false, path("second.wav"))));
    EXPECT_EQ(state().RecTarget, path("first.wav")) << "a refused start changes nothing";
    EXPECT_EQ(state().generation, 4);

    clock.advanceSeconds(65);
    ASSERT_TRUE(spinUntil([&] { return !save.isRunning(); }, 15000));
    EXPECT_GT(readWave(path("first.wav")).frames, 0);
    EXPECT_FALSE(QFile::exists(path("second.wav")));
    ASSERT_EQ(finishes.size(), 1);
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(finishes[0].targetFile, path("first.wav"));
    EXPECT_EQ(finishes[0].elapsed, "00:01:05");
    EXPECT_EQ(finishes[0].voice, "Mary (TTS4.0)");
    EXPECT_EQ(finishes[0].rate, "29");
    EXPECT_EQ(finishes[0].pitch, "5");
    // A generation-4 WAV leaves its last figure shown; nothing clears it.
    EXPECT_EQ(said.mid(said.size() - 2), QStringList({"100", "finished"}));
    EXPECT_FALSE(said.contains("cleared"));
}

TEST_F(SpeechSave, AnEarlyStopNotificationStartsTheEncoderOnceAndOnlyOnAGoodWav) {
    ASSERT_TRUE(makeFakeEncoder(path()));
    ASSERT_TRUE(save.start(request(4, true, path("talk.mp3"))));
    ASSERT_TRUE(waitForWaveEnd());
    // The control's notification comes before the first progress tick.
    QCoreApplication::sendPostedEvents(&writer4);
    ASSERT_EQ(processes.started.size(), 1);
    EXPECT_EQ(state().Wav2Mp3, state().TempWav + " " + state().TempMp3);
    save.Timer101_Timer();
    save.Timer1_Timer();
    EXPECT_EQ(processes.started.size(), 1) << "the poll of WaveEnd starts no second encoder";
    EXPECT_EQ(save.Timer102->interval(), 500);
    EXPECT_EQ(state().encoder.pid(), processes.started[0].pid);
    save.abandon();

    // A rendering that fails: its notification starts nothing; the tick reports it.
    said.clear();
    processes.started.clear();
    gen4.synth->failNext = true;
    ASSERT_TRUE(save.start(request(4, true, path("broken.mp3"))));
    ASSERT_TRUE(waitForWaveEnd());
    QCoreApplication::sendPostedEvents(&writer4);
    EXPECT_TRUE(processes.started.isEmpty());
    save.Timer101_Timer();
    save.Timer1_Timer();
    EXPECT_TRUE(processes.started.isEmpty());
    EXPECT_FALSE(save.isRunning());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].kind, RecordingFailure::Kind::NotRendered);
    EXPECT_TRUE(failures[0].message.startsWith("Sonorel could not save the speech to " +
                                               path("broken.mp3") + ".\n"))
        << failures[0].message.toStdString();
    EXPECT_EQ(said.mid(said.size() - 3), QStringList({"50", "cleared", "failed"}));
    EXPECT_FALSE(QFile::exists(state().TempWav)) << "a failed MP3 keeps no WAV";
    EXPECT_TRUE(finishes.isEmpty());
}

TEST_F(SpeechSave, AnMp3ThatCannotReplaceItsTargetStaysInTheTemporaryFolder) {
    ASSERT_TRUE(makeFakeEncoder(path()));
    ASSERT_TRUE(QDir(path()).mkdir("out"));
    ASSERT_TRUE(save.start(request(5, true, path("out/talk.mp3"))));
    ASSERT_TRUE(spinUntil([&] { return !processes.started.isEmpty(); }, 15000));
    const QByteArray mp3 = "ID3 the encoded speech";
    ASSERT_TRUE(writeFileAtomically(state().TempMp3, mp3));
    save.Timer102_Timer();
    // The target's folder goes away while the encoder works.
    ASSERT_TRUE(QDir(path("out")).removeRecursively());
    processes.finish(processes.started[0].pid);
    save.Timer2_Timer();

    EXPECT_FALSE(save.isRunning());
    EXPECT_TRUE(finishes.isEmpty());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].kind, RecordingFailure::Kind::NotMoved);
    EXPECT_TRUE(failures[0].message.startsWith("Sonorel could not write " + path("out/talk.mp3")))
        << failures[0].message.toStdString();
    EXPECT_TRUE(failures[0].message.endsWith(".\nThe MP3 file is in " + state().TempMp3 +
                                             " until the next recording."))
        << failures[0].message.toStdString();
    EXPECT_EQ(readWholeFile(state().TempMp3), mp3);
    EXPECT_FALSE(QFile::exists(state().TempWav));
    EXPECT_EQ(said.mid(said.size() - 2), QStringList({"cleared", "failed"}));
    EXPECT_EQ(save.Timer2->interval(), 0);
}

TEST_F(SpeechSave, LateEndEventsBelongToNoLaterSave) {
    QList<int> ends;
    QObject::connect(&writer5, &speech::SpVoice::EndStream,
                     [&](int stream, qint64) { ends << stream; });
    ASSERT_TRUE(save.start(request(5, false, path("first.wav"))));
    ASSERT_TRUE(spinUntil([&] { return !save.isRunning(); }, 15000));
    ASSERT_EQ(ends.size(), 1);
    ASSERT_EQ(finishes.size(), 1);

    gen5.synth->delayPerCallMs = 100;
    ASSERT_TRUE(save.start(request(5, false, path("second.wav"))));
    // The first rendering's end, once more: the second save goes on.
    emit writer5.EndStream(ends[0], 0);
    EXPECT_TRUE(save.isRunning());
    EXPECT_EQ(finishes.size(), 1);
    ASSERT_TRUE(spinUntil([&] { return !save.isRunning(); }, 15000));
    ASSERT_EQ(finishes.size(), 2);
    EXPECT_EQ(finishes[1].targetFile, path("second.wav"));
    EXPECT_EQ(readWave(path("second.wav")).frames, readWave(path("first.wav")).frames);
}

TEST_F(SpeechSave, TheWaveIsKeptBesideTheTargetOrSaidToStayWhereItIs) {
    ASSERT_TRUE(writeTone(path("tmp/tmp$.wav"), 0.2));
    ASSERT_TRUE(writeFileAtomically(path("tmp/tmp$.mp3"), "half"));
    const RecordingFailure kept = exporting::keepWaveInstead(
        path("tmp/tmp$.wav"), path("tmp/tmp$.mp3"), path("book.mp3"), "The encoder broke.");
    EXPECT_EQ(kept.kind, RecordingFailure::Kind::KeptAsWav);
    EXPECT_EQ(kept.message, "Sonorel could not make the MP3 file " + path("book.mp3") +
                                ".\nThe encoder broke.\n\nThe speech was saved as a WAV file "
                                "instead:\n" +
                                path("book.wav"));
    EXPECT_GT(readWave(path("book.wav")).frames, 0);
    EXPECT_FALSE(QFile::exists(path("tmp/tmp$.wav")));
    EXPECT_FALSE(QFile::exists(path("tmp/tmp$.mp3")));

    // No folder for the kept WAV: it stays in the temporary folder, and the user
    // is told where.
    ASSERT_TRUE(writeTone(path("tmp/tmp$.wav"), 0.2));
    const RecordingFailure stays = exporting::keepWaveInstead(
        path("tmp/tmp$.wav"), path("tmp/tmp$.mp3"), path("gone/book.mp3"), "The encoder broke.");
    EXPECT_TRUE(stays.message.contains("\n\nThe speech is in the WAV file " + path("tmp/tmp$.wav") +
                                       " until the next recording (" + path("gone/book.wav") +
                                       " could not be written: "))
        << stays.message.toStdString();
    EXPECT_GT(readWave(path("tmp/tmp$.wav")).frames, 0);
}

TEST_F(SpeechSave, TheWaitStageMeasuresAFileOnlyOnceItExists) {
    exporting::GrowingFile file;
    EXPECT_FALSE(file.take(path("growing.wav")));
    EXPECT_FALSE(file.isTaken());
    EXPECT_EQ(file.size(), std::nullopt);
    ASSERT_TRUE(writeFileAtomically(path("growing.wav"), QByteArray(100, 'x')));
    ASSERT_TRUE(file.take(path("growing.wav")));
    EXPECT_EQ(file.size(), 100);
    ASSERT_TRUE(writeFileAtomically(path("growing.wav"), QByteArray(2500, 'x')));
    EXPECT_EQ(file.size(), 2500);
    ASSERT_TRUE(QFile::remove(path("growing.wav")));
    EXPECT_EQ(file.size(), 0);
    file.release();
    EXPECT_EQ(file.size(), std::nullopt);
}

TEST(ProcessWatch, FollowsARealProcessUntilItIsEnded) {
    platform::LinuxProcessLauncher launcher;
    exporting::ProcessWatch watch;
    EXPECT_FALSE(watch.isRunning(launcher));
    EXPECT_FALSE(watch.end(launcher, 500)) << "nothing is watched";
    const auto pid = launcher.start("sleep", {"60"}, platform::WindowMode::Hidden);
    ASSERT_TRUE(pid);
    watch.watch(*pid);
    EXPECT_TRUE(watch.isRunning(launcher));
    EXPECT_TRUE(watch.end(launcher, 5000));
    EXPECT_FALSE(watch.isRunning(launcher)) << "end() returns once the process is gone";
    EXPECT_FALSE(watch.end(launcher, 500)) << "an ended process is not ended twice";
}
