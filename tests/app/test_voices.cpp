// Switching voices from the list and from the browser voice command; rate, pitch
// and volume.

#include "readerfixture.h"
#include "shared/linkcommand.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>

using namespace sonorel;
using namespace sonorel::test;
using platform::speech::EngineError;

namespace {
IEVoiceNameRecord browserVoice(const QString& folder) {
    return loadRecord<IEVoiceNameRecord>(folder + "/IEVoiceName.ini");
}
} // namespace

TEST_F(ReaderTest, PickingAVoiceSwitchesStopsAndLocksTheList) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("one two three four five six seven");
    audio = platform::speech::AudioMode::Silent;
    w->Command5_Click();
    pick("English (TTS5.0)");
    EXPECT_EQ(w->PlayStatus, reading::Idle); // the reading stopped
    EXPECT_EQ(program.tts.EngineGeneration, 5);
    EXPECT_EQ(program.tts.VoiceIndex, 0);
    EXPECT_EQ(program.tts.VoiceName, "English");
    EXPECT_EQ(w->windowTitle(), "English (TTS5.0)");
    EXPECT_EQ(w->VScroll2->value(), 50); // the voice's rate 0
    EXPECT_EQ(w->VScroll3->value(), 28); // pitch keeps its place
    EXPECT_TRUE(w->SwitchLocked);
    EXPECT_EQ(browserVoice(path()), (IEVoiceNameRecord{"English (TTS5.0)", "5"}));

    // Another click without the Voice button only hides the list.
    w->Combo1->setCurrentIndex(listIndexOf("Kal (TTS4.0)"));
    w->Combo1_Click();
    EXPECT_EQ(program.tts.EngineGeneration, 5);

    pick("Kal (TTS4.0)");
    EXPECT_EQ(program.tts, (TTSSets{4, 2, "Kal", 33, 28}));
    EXPECT_EQ(w->DirectSS1->CurrentMode(), 2);
    EXPECT_EQ(w->TextToSpeech1->CurrentMode(), 2);
    EXPECT_EQ(w->Combo1->toolTip(), "Kal (TTS4.0)");
    // Picking the voice already selected still rewrites the browser voice.
    QFile::remove(path("IEVoiceName.ini"));
    pick("Kal (TTS4.0)");
    EXPECT_EQ(browserVoice(path()), (IEVoiceNameRecord{"Kal (TTS4.0)", "4"}));
}

TEST_F(ReaderTest, UnreliableVoiceAnsweredNoFallsBackToThePreviousOne) {
    gen5.failingVoices.insert(1, EngineError::kEngineFailure);
    ASSERT_TRUE(start());
    dialogs.answer(platform::MessageAnswer::No);
    pick("German (TTS5.0)");
    ASSERT_EQ(dialogs.messages.size(), 1);
    const platform::MessageSpec& b = dialogs.messages[0];
    EXPECT_EQ(b.title, "Sonorel--SAPI Version 4");
    EXPECT_TRUE(b.text.startsWith("German (TTS5.0) is not reliable, so it can not be used. "
                                  "Error number:-2147467259 Error description:"))
        << b.text.toStdString();
    EXPECT_TRUE(
        b.text.endsWith("Please click No to continue or click Yes to end this appliaction"));
    EXPECT_EQ(b.defaultButton, 2);
    EXPECT_EQ(b.icon, platform::MessageIcon::Question);
    EXPECT_EQ(w->Combo1->currentText(), "Mary (TTS4.0)");
    EXPECT_EQ(program.tts.EngineGeneration, 4);
    EXPECT_EQ(program.tts.VoiceName, "Mary");
    EXPECT_FALSE(exited);
}

TEST_F(ReaderTest, HarmlessErrorsAreIgnoredAndOthersAskFirst) {
    gen4.failingVoices.insert(2, 5); // "no such engine": ignored
    ASSERT_TRUE(start());
    pick("Rms (TTS4.0)");
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(w->windowTitle(), "Mary (TTS4.0)"); // the voice in use stays named
    EXPECT_TRUE(w->SwitchLocked);

    // An engine without a speed range cannot be placed on the scale: message A.
    gen4.speed = {100, 100, 100};
    dialogs.answer(platform::MessageAnswer::Yes);
    pick("Kal (TTS4.0)");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].title.startsWith(
        "SAPI Version 4. Please send the following error message to "));
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Kal (TTS4.0) Error number:11 "));
    EXPECT_TRUE(exited); // Yes ends the program
}

TEST_F(ReaderTest, BrowserVoiceCommands) {
    ASSERT_TRUE(start());
    // "4" and "00003": the third generation-4 engine.
    w->LinkExecute(kLinkToken + "-4" + "400003" + "Rms (TTS4.0)");
    EXPECT_EQ(w->DirectSS1->CurrentMode(), 3);
    EXPECT_EQ(program.tts.VoiceIndex, 3);
    EXPECT_EQ(w->Combo1->currentText(), "Rms (TTS4.0)");
    EXPECT_EQ(w->ActivateMe, 0); // consumed by the Stop
    EXPECT_TRUE(w->SwitchLocked);
    EXPECT_EQ(browserVoice(path()), (IEVoiceNameRecord{"Rms (TTS4.0)", "4"}));

    w->LinkExecute(kLinkToken + "-4" + "500001" + "German (TTS5.0)");
    EXPECT_EQ(program.tts.EngineGeneration, 5);
    EXPECT_EQ(w->NewsVoice1->Voice().GetDescription(), "German");
    EXPECT_EQ(w->VoiceSayTime->Voice().GetDescription(), "German");

    // Another generation digit changes no engine, so the list and the browser's
    // voice file keep the voice in use.
    w->LinkExecute(kLinkToken + "-4" + "700001" + "Mary (TTS4.0)");
    EXPECT_EQ(program.tts.EngineGeneration, 5);
    EXPECT_EQ(w->Combo1->currentText(), "German (TTS5.0)");
    EXPECT_EQ(browserVoice(path()), (IEVoiceNameRecord{"German (TTS5.0)", "5"}));

    w->LinkExecute(kLinkToken + "-4" + "400001" + "Mary (TTS4.0)");
    EXPECT_EQ(readWholeFile(path("IEVoiceName.ini")),
              encodeRecord(IEVoiceNameRecord{"Mary (TTS4.0)", "4"}));
    EXPECT_EQ(readWholeFile(path("IEVoiceName.ini")).size(), 18);
}

// A voice the engine refuses with an ignored error must not leave a record that
// names one voice and indexes another: the next start would load a third.
TEST_F(ReaderTest, ARefusedVoiceLeavesEverythingOnTheVoiceInUse) {
    gen4.failingVoices.insert(2, 5); // Rms, engine 3
    gen5.failingVoices.insert(1, 5); // German
    ASSERT_TRUE(start());
    pick("English (TTS5.0)");
    const TTSSets before = program.tts;
    const auto expectUnchanged = [&](const char* how) {
        SCOPED_TRACE(how);
        EXPECT_EQ(program.tts, before);
        EXPECT_EQ(w->windowTitle(), "English (TTS5.0)");
        EXPECT_EQ(w->Combo1->currentText(), "English (TTS5.0)");
        EXPECT_EQ(w->NewsVoice1->Voice().GetDescription(), "English");
        EXPECT_EQ(browserVoice(path()), (IEVoiceNameRecord{"English (TTS5.0)", "5"}));
    };
    pick("Rms (TTS4.0)");
    expectUnchanged("list, generation 4");
    pick("German (TTS5.0)");
    expectUnchanged("list, generation 5");
    w->LinkExecute(kLinkToken + "-4" + "400003" + "Rms (TTS4.0)");
    expectUnchanged("browser, generation 4");
    w->LinkExecute(kLinkToken + "-4" + "500001" + "German (TTS5.0)");
    expectUnchanged("browser, generation 5");
    w->LinkExecute(kLinkToken + "-4" + "500007" + "Nobody (TTS5.0)");
    expectUnchanged("browser, no such voice");
    EXPECT_TRUE(dialogs.messages.isEmpty());
    // What is stored names the voice that is used, so the next run reads with it.
    stop();
    ASSERT_TRUE(start());
    EXPECT_EQ(program.tts, before);
    EXPECT_EQ(w->Combo1->currentText(), "English (TTS5.0)");
}

TEST_F(ReaderTest, RatePitchAndVolumeFollowTheScrollBars) {
    ASSERT_TRUE(start());
    w->VScroll2->setValue(100);
    EXPECT_EQ(w->DirectSS1->Speed(), 200);
    EXPECT_EQ(w->TextToSpeech1->Speed(), 200);
    EXPECT_EQ(program.tts.RateValue, 100);
    w->VScroll3->setValue(0);
    EXPECT_EQ(w->DirectSS1->Pitch(), 50);
    EXPECT_EQ(w->Label3->text(), "0");
    w->VScroll1->setValue(0);
    EXPECT_EQ(w->DirectSS1->LeftVolume(), 0);
    EXPECT_EQ(w->DirectSS1->RightVolume(), 0);
    EXPECT_EQ(w->Label1->text(), "0");

    // An engine value beyond 32 bits leaves the engine alone; the label and the
    // record still follow the scroll bar.
    program.SpeedMin = 0;
    program.SpeedMax = 30'000'000;
    const int speed = w->DirectSS1->Speed();
    w->VScroll2->setValue(99);
    EXPECT_EQ(w->DirectSS1->Speed(), speed);
    EXPECT_EQ(w->Label5->text(), "99");
    EXPECT_EQ(program.tts.RateValue, 99);

    pick("English (TTS5.0)");
    w->VScroll2->setValue(0);
    EXPECT_EQ(w->NewsVoice1->Rate(), -10);
    EXPECT_EQ(w->VoiceSayTime->Rate(), -10);
    w->VScroll1->setValue(40);
    EXPECT_EQ(w->NewsVoice1->Volume(), 40);
    w->VScroll3->setValue(77); // no pitch for these voices: only label and record
    EXPECT_EQ(program.tts.PitchValue, 77);
}
