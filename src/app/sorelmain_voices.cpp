// The voice list, switching voices, and the volume, rate and pitch scroll bars.

#include "app/sorelmain.h"
#include "shared/linkcommand.h"
#include "shared/skiponerror.h"
#include "shared/voiceentry.h"
#include "voices/units.h"
#include "voices/voicecatalog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSlider>

namespace sonorel::app {

using platform::speech::EngineError;

namespace {
// Errors of a voice switch that are passed over: the next step runs.
const QSet<std::int32_t> kHarmlessSwitchErrors = {430, 445, 5, 0};
// Errors that mark the engine itself as unusable on this machine: the user is
// told so, and the engine is reset before the previous voice comes back.
const QSet<std::int32_t> kUnreliableEngineErrors = {
    std::int32_t(0x80004005), std::int32_t(0x80120088), std::int32_t(0x80040206), 429};
} // namespace

void sorelmain::GetEngines4() {
    m_program.Sapi4Count = 0;
    const auto entries = voices::engines4(*DirectSS1);
    for (const auto& e : entries)
        Combo1->addItem(e.text, e.itemCode);
    m_program.Sapi4Count = std::int32_t(entries.size());
}

void sorelmain::GetEngines5() {
    const auto entries = voices::engines5(*NewsVoice1);
    for (const auto& e : entries)
        Combo1->addItem(e.text, e.itemCode);
    m_program.Sapi5Count = std::int32_t(entries.size());
}

void sorelmain::setScroll(QSlider* bar, int position) {
    bar->setValue(position);
}

void sorelmain::initButton() {
    if (Combo1->isVisible() && !Combo1->view()->isVisible())
        Combo1->hide();
}

void sorelmain::Command7_Click() {
    PrevListIndex = Combo1->currentIndex();
    RestorePrev = false;
    SwitchLocked = false;
    Combo1->setGeometry(Command7->geometry().x(), Command7->geometry().y(),
                        std::max(Command7->width() * 3, Combo1->sizeHint().width()),
                        Command7->height());
    Combo1->show();
    Combo1->raise();
    int longest = 0;
    for (int i = 0; i < Combo1->count(); ++i)
        longest = std::max<int>(longest, Combo1->itemText(i).size());
    const int dropped = voices::roundHalfEven(longest * 355.0 / 44.0);
    Combo1->view()->setMinimumWidth(std::max(dropped, Combo1->width()));
    Combo1->setFocus();
    Combo1->showPopup();
}

// The switch as a list of steps, so that the error handling can go on with the
// step after a failing one, or start again from the decoding step.
void sorelmain::Combo1_Click() {
    Combo1->hide();
    if (StartTTS4Engine)
        return;
    skipOnError("stop", [&] { Command6_Click(); });
    if (SwitchLocked)
        return;
    runVoiceSwitch();
}

void sorelmain::runVoiceSwitch() {
    const int clicked = Combo1->currentIndex();
    QString listText;
    int generation = 0, index = 0;
    bool stopped = false;
    // Runs one step; false when the switch must not go on.
    const auto attempt = [&](const std::function<void()>& step) {
        if (stopped)
            return false;
        std::optional<SwitchError> error;
        try {
            step();
        } catch (const EngineError& e) {
            error = SwitchError{e.number(), QString::fromStdString(e.what())};
        } catch (const voices::DivisionByZero& e) {
            error = SwitchError{voices::DivisionByZero::kNumber, QString::fromStdString(e.what())};
        } catch (const voices::Overflow& e) {
            error = SwitchError{voices::Overflow::kNumber, QString::fromStdString(e.what())};
        } catch (const std::exception& e) {
            error = SwitchError{EngineError::kEngineFailure, QString::fromStdString(e.what())};
        }
        if (!error)
            return true;
        SwitchLocked = true;
        const std::int32_t n = error->number;
        if (kHarmlessSwitchErrors.contains(n))
            return true; // go on with the next step
        stopped = true;
        const bool unreliable = kUnreliableEngineErrors.contains(n);
        if (switchErrorMessage(*error, listText, unreliable) == platform::MessageAnswer::Yes) {
            ExitAll();
            return false;
        }
        if (n == voices::DivisionByZero::kNumber)
            return false; // the list stays locked with what was changed so far
        if (unreliable)
            skipOnError("reset engine", [&] { DirectSS1->setInitialized(1); });
        // Back to the voice selected before the list opened; a failure there is
        // not retried again.
        if (!RestorePrev) {
            RestorePrev = true;
            runVoiceSwitch();
        }
        return false;
    };
    if (!attempt([&] {
            ApplyIndex = RestorePrev ? PrevListIndex : clicked;
            if (RestorePrev)
                Combo1->setCurrentIndex(PrevListIndex);
            listText = Combo1->itemText(ApplyIndex);
            const DecodedItemCode code = decodeItemCode(Combo1->itemData(ApplyIndex).toInt());
            generation = code.generation;
            index = code.index;
        }))
        return;
    bool applied = false;
    for (const auto& step : voiceSteps(generation, index, listText, applied))
        if (!attempt(step))
            return;
    if (!attempt([&] { SwitchLocked = true; }))
        return;
    if (!applied) {
        showVoiceInUse();
        return;
    }
    attempt([&] { writeIEVoiceName(listText); });
}

void sorelmain::showVoiceInUse() {
    const TTSSets& tts = m_program.tts;
    const int found = Combo1->findData(voiceItemCode(tts.EngineGeneration, tts.VoiceIndex));
    if (found >= 0)
        Combo1->setCurrentIndex(found);
}

platform::MessageAnswer sorelmain::switchErrorMessage(const SwitchError& error,
                                                      const QString& listText, bool unreliable) {
    const QString generation = QString::number(m_program.tts.EngineGeneration);
    const QString details = "Error number:" + QString::number(error.number) +
                            " Error description:" + error.description + "  ." +
                            "Please click No to continue or click Yes to end this appliaction";
    platform::MessageSpec message{.text = {},
                                  .buttons = platform::MessageButtons::YesNo,
                                  .icon = platform::MessageIcon::Question,
                                  .defaultButton = 2};
    if (unreliable) {
        message.title = "Sonorel--SAPI Version " + generation;
        message.text = listText + " is not reliable, so it can not be used." + " " + details;
    } else {
        message.title = "SAPI Version " + generation +
                        ". Please send the following error message to " + kSupportMail;
        message.text = listText + " " + details;
    }
    return m_services.dialogs.message(message, this);
}

std::vector<std::function<void()>> sorelmain::voiceSteps(int generation, int index,
                                                         const QString& listText, bool& applied) {
    auto& tts = m_program.tts;
    // The record, the caption and the browser voice name follow the voice in
    // use: when the engine refuses the new voice they keep naming the old one.
    if (generation == 4)
        return {
            [=, this, &tts, &applied] {
                DirectSS1->Select(index);
                tts.VoiceIndex = index;
                tts.EngineGeneration = 4;
                applied = true;
                TextToSpeech1->Select(index);
            },
            [this, &tts, &applied] {
                if (applied)
                    tts.RateValue = sapi4SpeedToScale();
            },
            [this, &tts, &applied] {
                if (applied)
                    tts.PitchValue = sapi4PitchToScale();
            },
            [=, this, &tts, &applied] {
                if (!applied)
                    return;
                Combo1->setToolTip(listText);
                setWindowTitle(listText);
                tts.VoiceName = voiceNameFromEntry(listText);
            },
        };
    if (generation == 5)
        return {
            [=, this, &tts, &applied] {
                const auto voices = NewsVoice1->GetVoices();
                if (index < 0 || index >= voices.size())
                    throw EngineError(EngineError::kInvalidArgument,
                                      "no voice " + std::to_string(index));
                NewsVoice1->setVoice(voices[index]);
                tts.VoiceIndex = index;
                tts.EngineGeneration = 5;
                applied = true;
                NewsVoice1->Speak(" ", platform::speech::SVSFlagsAsync);
                VoiceSayTime->setVoice(voices[index]);
            },
            [this, &tts, &applied] {
                if (!applied)
                    return;
                setScroll(VScroll2, voices::positionFromRate(NewsVoice1->Rate()));
                tts.RateValue = VScroll2->value();
                tts.PitchValue = VScroll3->value();
            },
            [=, this, &tts, &applied] {
                if (!applied)
                    return;
                setWindowTitle(listText);
                tts.VoiceName = voiceNameFromEntry(listText);
            },
        };
    return {};
}

int sorelmain::sapi4SpeedToScale() {
    m_program.SpeedMax = DirectSS1->MaxSpeed();
    m_program.SpeedMin = DirectSS1->MinSpeed();
    setScroll(VScroll2, voices::positionFromEngine(DirectSS1->Speed(), m_program.SpeedMin,
                                                   m_program.SpeedMax));
    return VScroll2->value();
}

int sorelmain::sapi4PitchToScale() {
    m_program.PitchMax = DirectSS1->MaxPitch();
    m_program.PitchMin = DirectSS1->MinPitch();
    setScroll(VScroll3, voices::positionFromEngine(DirectSS1->Pitch(), m_program.PitchMin,
                                                   m_program.PitchMax));
    return VScroll3->value();
}

void sorelmain::writeIEVoiceName(const QString& entry) {
    QString error;
    if (!saveRecord(m_services.folder.programFile("IEVoiceName.ini"),
                    IEVoiceNameRecord{entry, QString::number(m_program.tts.EngineGeneration)},
                    &error))
        qWarning().noquote() << "browser voice:" << error;
}

void sorelmain::VocelleFromIE(const QString& command) {
    skipOnError("stop", [&] { Command6_Click(); });
    const VoiceCommand v = parseVoiceCommand(command);
    bool applied = false;
    for (const auto& step : voiceSteps(v.generation, v.index, v.entryText, applied))
        skipOnError("voice switch step", step);
    SwitchLocked = true;
    // A voice that was not taken (no such voice, a refusing engine, an unknown
    // generation) changes neither the list nor the browser's voice file.
    if (!applied) {
        showVoiceInUse();
        return;
    }
    skipOnError("list text", [&] {
        const int found = Combo1->findText(v.entryText, Qt::MatchExactly);
        if (found >= 0)
            Combo1->setCurrentIndex(found);
        else
            Combo1->setCurrentText(v.entryText);
    });
    writeIEVoiceName(v.entryText);
}

void sorelmain::VScroll1_Change() {
    const int p = VScroll1->value();
    if (m_program.tts.EngineGeneration == 4) {
        skipOnError("volume", [&] {
            DirectSS1->setLeftVolume(voices::channelVolumeFromPosition(p));
            DirectSS1->setRightVolume(DirectSS1->LeftVolume());
        });
        Label1->setText(QString::number(p));
    } else if (m_program.tts.EngineGeneration == 5) {
        skipOnError("volume", [&] { NewsVoice1->setVolume(p); });
        Label1->setText(QString::number(p));
    }
}

void sorelmain::VScroll2_Change() {
    if (StartTTS4Speed)
        return;
    const int p = VScroll2->value();
    if (m_program.tts.EngineGeneration == 4) {
        Label5->setText(QString::number(p));
        m_program.tts.RateValue = p;
        skipOnError("speed", [&] {
            DirectSS1->setSpeed(
                voices::engineFromPosition(p, m_program.SpeedMin, m_program.SpeedMax));
            TextToSpeech1->setSpeed(DirectSS1->Speed());
        });
    } else if (m_program.tts.EngineGeneration == 5) {
        skipOnError("rate", [&] {
            NewsVoice1->setRate(voices::rateFromPosition(p));
            VoiceSayTime->setRate(NewsVoice1->Rate());
        });
        Label5->setText(QString::number(p));
        m_program.tts.RateValue = p;
    }
}

void sorelmain::VScroll3_Change() {
    if (StartTTS4Pitch)
        return;
    const int p = VScroll3->value();
    if (m_program.tts.EngineGeneration == 4) {
        Label3->setText(QString::number(p));
        m_program.tts.PitchValue = p;
        skipOnError("pitch", [&] {
            DirectSS1->setPitch(
                voices::engineFromPosition(p, m_program.PitchMin, m_program.PitchMax));
        });
    } else if (m_program.tts.EngineGeneration == 5) {
        Label3->setText(QString::number(p));
        m_program.tts.PitchValue = p;
    }
}

} // namespace sonorel::app
