#pragma once
// The reader's main window: the reading box above, the control panel below.
// Handlers keep the names of their controls and events (Command5_Click,
// Combo1_Click, DirectSS1_WordPosition); they are spread over files by subject:
// sorelmain.cpp (controls and layout), sorelmain_startup.cpp (start-up, settings,
// shutdown), sorelmain_voices.cpp (voice list, switching, rate, pitch, volume),
// sorelmain_reading.cpp (speak, pause, stop, word tracking, the command link),
// sorelmain_files.cpp (open and save text), sorelmain_export.cpp (speech saved as
// WAV or MP3).

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "app/windows.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/wavelin.h"
#include "reading/readingrules.h"
#include "shared/vbtimer.h"

#include <functional>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class QSlider;

namespace sonorel::exporting {
class SpeechRecording;
struct RecordingFailure;
} // namespace sonorel::exporting

namespace sonorel::link {
class ClipboardWatch;
} // namespace sonorel::link
namespace sonorel::clock {
class TalkingClock;
} // namespace sonorel::clock

namespace sonorel::app {

class BoxFill;
class NotificationIcon;

// The hidden rich-text box that loads files: rich text as its plain text,
// anything else as plain text. A file that cannot be loaded keeps the old text;
// Refusal() then says why, in the words the user is shown.
class TextFileBox final {
public:
    bool setFileName(const QString& path);
    QString Text() const { return m_text; }
    QString Refusal() const { return m_refusal; }

private:
    QString m_text;
    QString m_refusal;
};

class sorelmain final : public QWidget, public Reader {
    Q_OBJECT
public:
    sorelmain(Services& services, Program& program, Windows& windows, QWidget* parent = nullptr);
    ~sorelmain() override;

    // --- start-up and shutdown
    // The start-up of a first copy (a second copy never makes this window).
    // False when the program must end at once (no engine, or the exit command).
    bool Form_Load(const QString& commandLine);
    // "explorer" (an existing file), "internet" (other text), "program" (empty),
    // or empty (one character).
    static QString StartFrom(const QString& commandLine);
    // What a second copy hands over: a command line that names something in the
    // copy's working folder as an absolute path, anything else as it stands.
    static QString handOverCommand(const QString& commandLine);
    void ExitAll();
    // Called by whoever ends the program (the quit of the event loop).
    std::function<void()> onExit;

    // --- what other windows may ask (Reader)
    void readText(const QString& text) override;
    void putText(const QString& text) override;
    void speakPause() override { Command5_Click(); }
    void stop() override { Command6_Click(); }
    int playStatus() const override { return PlayStatus; }
    QString voiceEntry() const override;
    int generation() const override { return m_program.tts.EngineGeneration; }
    platform::speech::TextToSpeech& clockVoice4() override { return *TextToSpeech1; }
    platform::speech::SpVoice& clockVoice5() override { return *VoiceSayTime; }
    RecordingVoices recordingVoices() override;
    void exitAll() override { ExitAll(); }
    void startTimerSayTest() override;

    // --- settings
    void initSetTime();
    void LoadTTSSets();
    void InitTTSSets();
    void LoadWinSets();
    void InitWinSets();
    void SaveSettings_Timer();

    // --- voices
    void GetEngines4();
    void GetEngines5();
    void Combo1_Click();
    void Command7_Click();
    void initButton();
    void VScroll1_Change();
    void VScroll2_Change();
    void VScroll3_Change();
    void VocelleFromIE(const QString& command);

    // --- reading
    void Command5_Click();
    void Command6_Click();
    void engineStarted();
    void engineEnded();
    void DirectSS1_WordPosition(int hi, int lo, int byteoffset);
    void NewsVoice1_Word(int streamNumber, qint64 streamPosition, int characterPosition,
                         int length);
    void MonitorText1Len_Timer();
    void ReadingTime_Timer();
    void cpvSlider1_Change();
    void cpvSlider1_Scroll();
    void Command3_Click(); // open a text file
    void Command4_Click(); // save as text, or as speech in a sound file
    void Command2_Click(); // font and text colour
    void Command1_Click(); // back colour

    // --- speech saved as WAV or MP3
    // The sound types of the Save dialog: `path` is the dialog's cleaned choice.
    void saveSpeech(bool mp3, const QString& path);
    bool isRecording() const;
    exporting::SpeechRecording* speechSave = nullptr; // the save's stages and timers

    // --- the command link
    void LinkExecute(const QString& command);

    // --- state (read by tests and by the other windows)
    reading::PlayStatus PlayStatus = reading::Idle;
    int PauseMark = 0;
    int ActivateMe = 0;
    int SpeakBase = 0;
    int TextLength = 0;
    QString SpokenText;
    QDateTime ReadingStart;
    int PrevListIndex = 0;
    bool RestorePrev = false;
    bool SwitchLocked = true;
    int ApplyIndex = 0;
    bool StartTTS4Engine = false, StartTTS4Speed = false, StartTTS4Pitch = false;

    // --- speech objects
    platform::speech::DirectSS* DirectSS1 = nullptr;
    platform::speech::TextToSpeech* TextToSpeech1 = nullptr; // lent to the clock and slides
    platform::speech::SpVoice* NewsVoice1 = nullptr;
    platform::speech::SpVoice* VoiceSayTime = nullptr; // lent to the clock and slides
    platform::speech::SpVoice* WaveVoice1 = nullptr;
    platform::speech::Wavelin* Wavelin1 = nullptr;

    // --- run-time timers (interval 0 = stopped; the speech save's are its own)
    VbTimer* ReadingTime = nullptr;
    VbTimer* SaveSettings = nullptr;
    VbTimer* firstuse = nullptr;
    VbTimer* MonitorText1Len = nullptr;

    // --- controls
    QPlainTextEdit* RichTextBox1 = nullptr;
    TextFileBox RichTextBox2;
    QFrame* Frame1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr,
                *Command5 = nullptr, *Command6 = nullptr, *Command7 = nullptr, *Command8 = nullptr,
                *Command9 = nullptr;
    QSlider *VScroll1 = nullptr, *VScroll2 = nullptr, *VScroll3 = nullptr;
    QLabel *Label1 = nullptr, *Label5 = nullptr, *Label3 = nullptr; // volume, rate, pitch values
    QLabel* Label13 = nullptr;                                      // elapsed reading time
    QLabel *Label8 = nullptr, *Label10 = nullptr, *Image1 = nullptr;
    QLabel* Label15 = nullptr; // the slide reader's default word look
    QSlider* cpvSlider1 = nullptr;
    QCheckBox* Check1 = nullptr;
    NotificationIcon* tray = nullptr; // none without a notification area
    link::ClipboardWatch* clipboardWatch = nullptr;
    clock::TalkingClock* talkingClock = nullptr; // TimerSay, TimerSayTest, the bell

    // Twips per pixel on this screen (15 at 96 dpi).
    double twipsPerPixel() const;
    // The unfolded window's height in twips for a screen this many pixels high.
    static int unfoldHeight(int screenHeight);
    // The Close button: hidden to the notification area, or only minimized where
    // there is none, as closing the window does.
    void putAway();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // layout
    void buildControls();
    void Form_Resize();
    void Check1_Click();
    int resizeGuard = 0;
    void showSpeakingFace();
    void showReadyFace();
    void setFace(const QString& caption, const QString& tip, const QString& picture);
    int windowState() const; // 0 normal, 1 minimized, 2 maximized
    QRect twipsToPixels(int left, int top, int width, int height) const;
    int twips(int pixels) const;
    int pixels(int twips) const;

    // start-up and shutdown
    void createSpeechObjects();
    void createTimers();
    void noEngine();
    bool actOnCommandLine(const QString& commandLine);
    void installTray();
    void installClipboardWatch();
    // The user's minimize, maximize, restore and close: LastWindowState and, before
    // minimize and close, WinLeft and WinTop.
    void beforeSystemCommand(int stateBefore, bool storePlace);
    void firstRunCheck();
    void firstuse_Timer();
    void writeSettingsFiles();
    void captureWindowSettings();
    void placeWindow(const WinSets& w);
    void applyTextColours(RecordColor fore, RecordColor back);

    // voices
    struct SwitchError {
        std::int32_t number;
        QString description;
    };
    void runVoiceSwitch();
    platform::MessageAnswer switchErrorMessage(const SwitchError& error, const QString& listText,
                                               bool unreliable);
    // The steps that apply a voice, shared by the list and the browser switch.
    // `applied` turns true once the engine has taken the voice.
    std::vector<std::function<void()>> voiceSteps(int generation, int index,
                                                  const QString& listText, bool& applied);
    // The list shows the entry of the voice the record names.
    void showVoiceInUse();
    void writeIEVoiceName(const QString& entry);
    // Reads the selected generation-4 engine's limits and puts its current speed
    // (pitch) on the scale; returns the position.
    int sapi4SpeedToScale();
    int sapi4PitchToScale();
    void setScroll(QSlider* bar, int position);

    // files
    // Loads `path` into RichTextBox2; when it is refused, says why (waiting for the
    // answer only when `modal`) and returns false.
    bool loadFileBox(const QString& path, bool modal);
    void saveText(bool rich, const QString& path);
    // The question before replacing a file; the longer form for files that may be
    // open in a player. True for Yes.
    bool mayOverwrite(const QString& target, bool mayBePlaying);

    // speech export
    void createSpeechSave();
    void showRecordingProgress(int percent, qint64 elapsedSeconds);
    void showVoiceCaption();
    void recordingFinished();
    void recordingFailed(const exporting::RecordingFailure& failure);
    // The program ends during an export: stop the rendering and the encoder and
    // remove the temporary files.
    void abandonRecording();

    // reading
    void focusRule();
    void stopClock();
    void setTextBox(const QString& text);
    // The box's whole text, also while a long text is still going in.
    QString boxText() const;
    int caretPosition() const;
    void setCaret(int position);
    void select(int start, int length);
    void sliderIdleMove(bool scrolling);

    Services& m_services;
    Program& m_program;
    Windows& m_windows;
    bool m_startHidden = false;
    BoxFill* m_boxFill = nullptr; // fills RichTextBox1

public:
    // True when the stored settings say the window was hidden to the tray.
    bool startsHidden() const { return m_startHidden; }
};

} // namespace sonorel::app
