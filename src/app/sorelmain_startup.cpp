// Start-up, the settings files and shutdown of the main window.

#include "app/sorelmain.h"
#include "app/tray.h"
#include "link/clipboardwatch.h"
#include "clock/talkingclock.h"
#include "platform/files.h"
#include "shared/linkcommand.h"
#include "shared/skiponerror.h"
#include "shared/voiceentry.h"
#include "voices/units.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QTextCursor>

namespace sonorel::app {

using platform::speech::DirectSS;
using platform::speech::SpVoice;

namespace {
constexpr auto kStts = "stts.ini";
constexpr auto kSwin = "swin.ini";
} // namespace

QString sorelmain::StartFrom(const QString& commandLine) {
    if (commandLine.isEmpty())
        return "program";
    if (commandLine.size() == 1)
        return {};
    // Taken whole: a quoted path is no file name and is read as text.
    return QFileInfo(commandLine).isFile() ? "explorer" : "internet";
}

QString sorelmain::handOverCommand(const QString& commandLine) {
    // The running copy works in its own folder.
    const QFileInfo named(commandLine);
    return named.exists() && named.isRelative() ? named.absoluteFilePath() : commandLine;
}

bool sorelmain::Form_Load(const QString& commandLine) {
    StartTTS4Engine = StartTTS4Speed = StartTTS4Pitch = true;
    skipOnError("speech objects", [&] { createSpeechObjects(); });
    createTimers();
    GetEngines4();
    GetEngines5();
    Combo1->setCurrentIndex(-1); // nothing chosen until the settings say so
    if (Combo1->count() < 2) {
        noEngine();
        return false;
    }
    skipOnError("speech settings", [&] {
        if (fileNamePresent(m_services.folder.writableFolder(), kStts))
            LoadTTSSets();
        else
            InitTTSSets();
    });
    skipOnError("window settings", [&] {
        if (fileNamePresent(m_services.folder.writableFolder(), kSwin))
            LoadWinSets();
        else
            InitWinSets();
    });
    PlayStatus = reading::Idle;
    skipOnError("clock settings", [&] { initSetTime(); });
    m_program.ExitRequested = false;
    m_program.StartMode = StartFrom(commandLine);
    bool keepRunning = true;
    skipOnError("command line", [&] { keepRunning = actOnCommandLine(commandLine); });
    StartTTS4Engine = StartTTS4Speed = StartTTS4Pitch = false;
    if (!keepRunning)
        return false; // ended by the command line: nothing more may run
    m_program.StartTime = m_services.clock.now();
    m_program.IntervalBase = m_program.StartTime;
    m_program.StartStamp = QString::number(m_program.StartTime.time().hour()) +
                           QString::number(m_program.StartTime.time().minute());
    talkingClock->LastSayStamp = m_program.StartStamp; // nothing in the start minute
    skipOnError("tray", [&] { installTray(); });
    skipOnError("clipboard watch", [&] { installClipboardWatch(); });
    skipOnError("first run", [&] { firstRunCheck(); });
    return keepRunning;
}

void sorelmain::createSpeechObjects() {
    DirectSS1 = new DirectSS(m_services.gen4, m_services.sinks, this);
    DirectSS1->setInitialized(1);
    TextToSpeech1 = new platform::speech::TextToSpeech(m_services.gen4, m_services.sinks, this);
    TextToSpeech1->setInitialized(1);
    NewsVoice1 = new SpVoice(m_services.gen5, m_services.sinks, this);
    VoiceSayTime = new SpVoice(m_services.gen5, m_services.sinks, this);
    WaveVoice1 = new SpVoice(m_services.gen5, m_services.sinks, this);
    Wavelin1 = new platform::speech::Wavelin(m_services.gen4, m_services.registry, this);

    connect(DirectSS1, &DirectSS::AudioStart, this, &sorelmain::engineStarted);
    connect(DirectSS1, &DirectSS::TextDataStarted, this, &sorelmain::engineStarted);
    connect(DirectSS1, &DirectSS::AudioStop, this, &sorelmain::engineEnded);
    connect(DirectSS1, &DirectSS::TextDataDone, this, &sorelmain::engineEnded);
    connect(DirectSS1, &DirectSS::WordPosition, this, &sorelmain::DirectSS1_WordPosition);
    connect(NewsVoice1, &SpVoice::StartStream, this, &sorelmain::engineStarted);
    connect(NewsVoice1, &SpVoice::EndStream, this, &sorelmain::engineEnded);
    connect(NewsVoice1, &SpVoice::Word, this, &sorelmain::NewsVoice1_Word);
}

void sorelmain::createTimers() {
    createSpeechSave();
    ReadingTime = new VbTimer(this);
    SaveSettings = new VbTimer(this, 15000);
    firstuse = new VbTimer(this);
    MonitorText1Len = new VbTimer(this, 1000);
    talkingClock =
        new clock::TalkingClock(m_services.clock, m_program, *this, m_services.media, this);
    connect(SaveSettings, &VbTimer::timeout, this, &sorelmain::SaveSettings_Timer);
    connect(firstuse, &VbTimer::timeout, this, &sorelmain::firstuse_Timer);
    connect(ReadingTime, &VbTimer::timeout, this, &sorelmain::ReadingTime_Timer);
    connect(MonitorText1Len, &VbTimer::timeout, this, &sorelmain::MonitorText1Len_Timer);
    connect(RichTextBox1, &QPlainTextEdit::textChanged, this,
            [this] { MonitorText1Len->setInterval(500); });
}

void sorelmain::noEngine() {
    m_program.ExitRequested = true;
    const platform::MessageAnswer answer = m_services.dialogs.message(
        {.text = "Can not find appropriate speech engine! Free download appropriate speech "
                 "engine from " +
                 kMakerSite + " ?",
         .buttons = platform::MessageButtons::YesNo,
         .icon = platform::MessageIcon::Critical},
        this);
    if (answer == platform::MessageAnswer::Yes)
        m_services.shell.open(kDownloadPage);
}

bool sorelmain::actOnCommandLine(const QString& commandLine) {
    if (m_program.StartMode == "explorer") {
        // The link is already serving: a refusal must not wait for its answer.
        if (loadFileBox(commandLine, false)) {
            setTextBox(RichTextBox2.Text());
            Command5_Click();
        }
    } else if (m_program.StartMode == "internet") {
        switch (classifyStartCommand(commandLine)) {
        case StartCommand::Exit:
            ExitAll();
            return false;
        case StartCommand::ReadTokenText:
            ActivateMe = 99;
            setTextBox(commandLine.mid(34));
            break;
        case StartCommand::ReadWholeLine:
            setTextBox(commandLine);
            break;
        }
        Command5_Click();
    }
    return true;
}

void sorelmain::installTray() {
    // Without one the window stays the way back in (see putAway).
    tray = NotificationIcon::TrayAdd(windowIcon(), *this, m_program, m_windows, this);
    if (tray)
        tray->TraySetTip("Sonorel, Left-click or Right-click please");
}

void sorelmain::installClipboardWatch() {
    clipboardWatch = new link::ClipboardWatch(
        *this, [this] { return m_program.win.WatchClipboard; }, this);
    clipboardWatch->watch(QGuiApplication::clipboard());
}

void sorelmain::beforeSystemCommand(int stateBefore, bool storePlace) {
    m_program.LastWindowState = std::int16_t(stateBefore);
    if (storePlace) {
        // The inner area's place in whole twips, as captureWindowSettings keeps it.
        m_program.win.WinLeft = twips(geometry().x());
        m_program.win.WinTop = twips(geometry().y());
    }
}

void sorelmain::firstRunCheck() {
    m_services.registry.createKey(platform::RegistryRoot::LocalMachine, kFirstRunKey);
    const auto uses = m_services.registry.dword(platform::RegistryRoot::LocalMachine, kFirstRunKey,
                                                kFirstRunValue);
    if (!uses || *uses == 0) {
        m_services.registry.setDword(platform::RegistryRoot::LocalMachine, kFirstRunKey,
                                     kFirstRunValue, 9);
        firstuse->setInterval(3000);
    }
}

void sorelmain::firstuse_Timer() {
    firstuse->setInterval(0);
    m_windows.show(WindowId::HowTo);
}

void sorelmain::startTimerSayTest() {
    talkingClock->TimerSayTest->setInterval(clock::TalkingClock::kTestDelay);
}

void sorelmain::initSetTime() {
    const QString folder = m_services.folder.folder();
    if (!fileNamePresent(m_services.folder.writableFolder(), "stime.ini")) {
        m_program.clock = ClockSettings::defaults(folder);
        return;
    }
    m_program.clock = loadRecord<ClockSettings>(m_services.folder.programFile("stime.ini"));
    if (!platform::fileExists(m_program.clock.BellFile))
        m_program.clock.BellFile = folder + "/bell.wav";
}

// --- settings

void sorelmain::LoadTTSSets() {
    TTSSets& s = m_program.tts;
    s = loadRecord<TTSSets>(m_services.folder.programFile(kStts));
    const QString entry = s.VoiceName + " (TTS" + QString::number(s.EngineGeneration) + ".0)";
    setWindowTitle(entry);
    Combo1->setCurrentIndex(-1);
    skipOnError("find the stored voice", [&] {
        const int found = Combo1->findText(entry, Qt::MatchExactly);
        if (found < 0)
            return;
        Combo1->setCurrentIndex(found);
        const DecodedItemCode code = decodeItemCode(Combo1->itemData(found).toInt());
        s.EngineGeneration = code.generation;
        s.VoiceIndex = code.index;
    });
    if (Combo1->currentText().isEmpty() && Combo1->count() > 0) {
        Combo1->setCurrentIndex(0);
        s.VoiceName = voiceNameFromEntry(Combo1->itemText(0));
        setWindowTitle(Combo1->itemText(0));
        const DecodedItemCode code = decodeItemCodeTwoDigits(Combo1->itemData(0).toInt());
        s.EngineGeneration = code.generation;
        s.VoiceIndex = code.index;
    }
    if (s.EngineGeneration == 4) {
        skipOnError("select engine", [&] {
            DirectSS1->Select(s.VoiceIndex);
            TextToSpeech1->Select(s.VoiceIndex);
        });
        skipOnError("engine limits", [&] {
            m_program.SpeedMax = DirectSS1->MaxSpeed();
            m_program.SpeedMin = DirectSS1->MinSpeed();
            m_program.PitchMax = DirectSS1->MaxPitch();
            m_program.PitchMin = DirectSS1->MinPitch();
        });
        setScroll(VScroll2, s.RateValue);
        Label5->setText(QString::number(s.RateValue));
        setScroll(VScroll3, s.PitchValue);
        Label3->setText(QString::number(s.PitchValue));
        skipOnError("speed and pitch", [&] {
            DirectSS1->setSpeed(voices::engineFromPosition(VScroll2->value(), m_program.SpeedMin,
                                                           m_program.SpeedMax));
            DirectSS1->setPitch(voices::engineFromPosition(VScroll3->value(), m_program.PitchMin,
                                                           m_program.PitchMax));
            TextToSpeech1->setSpeed(DirectSS1->Speed());
        });
    } else if (s.EngineGeneration == 5) {
        skipOnError("select voice", [&] {
            const auto voices = NewsVoice1->GetVoices();
            NewsVoice1->setVoice(voices.at(s.VoiceIndex));
            VoiceSayTime->setVoice(voices.at(s.VoiceIndex));
        });
        setScroll(VScroll2, s.RateValue);
        Label5->setText(QString::number(s.RateValue));
        skipOnError("rate", [&] {
            NewsVoice1->setRate(voices::rateFromPosition(VScroll2->value()));
            VoiceSayTime->setRate(NewsVoice1->Rate());
        });
        setScroll(VScroll3, s.PitchValue);
        Label3->setText(QString::number(s.PitchValue));
        Combo1->setCurrentIndex(s.VoiceIndex + m_program.Sapi4Count);
    }
}

void sorelmain::InitTTSSets() {
    TTSSets& s = m_program.tts;
    const int found = Combo1->findText("Mary (TTS4.0)", Qt::MatchExactly);
    if (found < 0)
        return;
    Combo1->setCurrentIndex(found);
    s.VoiceName = voiceNameFromEntry(Combo1->itemText(found));
    const DecodedItemCode code = decodeItemCodeTwoDigits(Combo1->itemData(found).toInt());
    s.EngineGeneration = code.generation;
    s.VoiceIndex = code.index;
    skipOnError("select engine", [&] {
        DirectSS1->Select(s.VoiceIndex);
        TextToSpeech1->Select(s.VoiceIndex);
    });
    setWindowTitle(Combo1->itemText(found));
    skipOnError("rate", [&] {
        s.RateValue = sapi4SpeedToScale();
        Label5->setText(QString::number(s.RateValue));
    });
    skipOnError("pitch", [&] {
        s.PitchValue = sapi4PitchToScale();
        Label3->setText(QString::number(s.PitchValue));
    });
}

namespace {
QFont fontFromRecord(const QFont& base, const QString& name, const QString& size,
                     const QString& bold, bool italic, bool underline, bool strike) {
    QFont f = base;
    if (!name.isEmpty())
        f.setFamily(name);
    bool ok = false;
    const double points = size.toDouble(&ok);
    if (ok && points > 0)
        f.setPointSizeF(points);
    if (const auto b = boolFromText(bold))
        f.setBold(*b);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strike);
    return f;
}

QColor colorFromRecord(RecordColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

RecordColor recordFromColor(const QColor& c) {
    return RecordColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}
} // namespace

void sorelmain::applyTextColours(RecordColor fore, RecordColor back) {
    QPalette p = RichTextBox1->palette();
    p.setColor(QPalette::Base, colorFromRecord(back));
    p.setColor(QPalette::Text, colorFromRecord(fore));
    RichTextBox1->setPalette(p);
}

void sorelmain::LoadWinSets() {
    WinSets& w = m_program.win;
    w = loadRecord<WinSets>(m_services.folder.programFile(kSwin));
    if (!w.TextBoxShown) {
        RichTextBox1->move(pixels(99999), RichTextBox1->y());
        Check1->setToolTip("Show text box");
    }
    RichTextBox1->setFont(fontFromRecord(RichTextBox1->font(), w.TextFontName, w.TextFontSize,
                                         w.TextFontBold, w.TextFontItalic, w.TextFontUnderline,
                                         w.TextFontStrikethru));
    applyTextColours(w.TextForeColor, w.TextBackColor);
    if (w.BatchDrive.isEmpty())
        w.BatchDrive = "/";
    if (w.BatchSourceFolder.isEmpty())
        w.BatchSourceFolder = QDir::homePath();
    if (w.BatchTargetFolder.isEmpty())
        w.BatchTargetFolder = QDir::homePath();
    placeWindow(w);
}

void sorelmain::placeWindow(const WinSets& w) {
    // A record from another screen (or a damaged one) must not put the window
    // where nobody can reach it.
    QRect wanted(pixels(w.WinLeft), pixels(w.WinTop), pixels(w.WinWidth), pixels(w.WinHeight));
    if (wanted.width() < minimumWidth())
        wanted.setWidth(std::max(minimumWidth(), width()));
    if (wanted.height() < pixels(2000))
        wanted.setHeight(pixels(2000));
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        if (!avail.intersects(wanted))
            wanted.moveTopLeft(avail.topLeft());
    }
    setGeometry(wanted);
    m_program.win = w;
    if (w.WinState == 1)
        setWindowState(Qt::WindowMinimized);
    else if (w.WinState == 2)
        setWindowState(Qt::WindowMaximized);
    m_startHidden = !w.WinVisible;
}

void sorelmain::InitWinSets() {
    WinSets& w = m_program.win;
    w = WinSets::defaults(m_services.folder.folder(), QDir::homePath());
    w.WinLeft = twips(geometry().x());
    w.WinTop = twips(geometry().y());
    w.WinWidth = twips(width());
    w.WinHeight = twips(height());
    const QFont f = RichTextBox1->font();
    w.TextFontBold = textFromBool(f.bold());
    w.TextFontItalic = f.italic();
    w.TextFontUnderline = f.underline();
    w.TextFontStrikethru = f.strikeOut();
    const QFont slide = Label15->font();
    w.SlideFontName = slide.family();
    w.SlideFontSize = QString::number(slide.pointSizeF());
    w.SlideFontBold = textFromBool(slide.bold());
    w.SlideFontItalic = slide.italic();
    w.SlideFontUnderline = slide.underline();
    w.SlideFontStrikethru = slide.strikeOut();
    w.SlideBackColor = recordFromColor(Label15->palette().color(QPalette::Window));
    w.SlideForeColor = recordFromColor(Label15->palette().color(QPalette::WindowText));
    applyTextColours(0, 0xFFFFFF);
    w.WinState = 2;
    setWindowState(Qt::WindowMaximized);
}

void sorelmain::captureWindowSettings() {
    WinSets& w = m_program.win;
    w.WinVisible = isVisible();
    // The inner area's place, as placeWindow restores it (the frame's place
    // would move the window down by its title bar on every start).
    if (!isMinimized()) {
        w.WinLeft = twips(geometry().x());
        w.WinTop = twips(geometry().y());
    }
    w.TextBoxHeight = twips(RichTextBox1->height());
    const QFont f = RichTextBox1->font();
    w.TextFontName = f.family();
    w.TextFontSize = QString::number(f.pointSizeF());
    w.TextFontCharset = 0;
    w.TextFontBold = textFromBool(f.bold());
    w.TextFontItalic = f.italic();
    w.TextFontUnderline = f.underline();
    w.TextFontStrikethru = f.strikeOut();
    w.TextForeColor = recordFromColor(RichTextBox1->palette().color(QPalette::Text));
    w.TextBackColor = recordFromColor(RichTextBox1->palette().color(QPalette::Base));
}

void sorelmain::writeSettingsFiles() {
    // Each file is replaced whole, never deleted first: a failed write keeps it.
    QString error;
    if (!saveRecord(m_services.folder.programFile(kStts), m_program.tts, &error))
        qWarning().noquote() << "settings:" << error;
    captureWindowSettings();
    if (!saveRecord(m_services.folder.programFile(kSwin), m_program.win, &error))
        qWarning().noquote() << "settings:" << error;
}

void sorelmain::SaveSettings_Timer() {
    writeSettingsFiles();
}

// --- shutdown

void sorelmain::closeEvent(QCloseEvent* event) {
    if (!m_program.ExitRequested) {
        // The user's close; the close at the end of the program is no command.
        beforeSystemCommand(windowState(), true);
        event->ignore();
        putAway();
        return;
    }
    skipOnError("stop the speech save", [&] { abandonRecording(); });
    skipOnError("stop the wave output", [&] {
        const auto last = m_services.registry.dword(platform::RegistryRoot::LocalMachine,
                                                    platform::speech::kWaveEndKey,
                                                    platform::speech::kWaveEndValue);
        if (last && *last == 2) {
            Wavelin1->StopRecording();
            Wavelin1->Release();
        }
    });
    skipOnError("update marker",
                [&] { platform::removeFile(m_services.folder.programFile("newversion.ini")); });
    skipOnError("settings", [&] { writeSettingsFiles(); });
    if (tray)
        skipOnError("tray", [&] { tray->TrayRemove(); });
    event->accept();
}

void sorelmain::ExitAll() {
    m_program.ExitRequested = true;
    if (tray)
        skipOnError("tray", [&] { tray->TrayRemove(); });
    m_windows.unloadAll([this] { close(); });
    if (onExit)
        onExit();
}

} // namespace sonorel::app
