#pragma once
// The WAV-to-MP3 converter: one existing WAV file encoded into an MP3 by `lame`,
// with a percentage and the elapsed time while the encoder runs, and the small
// finish window (wavtomp3end) that can play the result. The folders last used in
// its two dialogs are kept in tomp3.ini.
//
// The four modes say which paths go through the fixed temporary names (w2mtmp.wav,
// w2mtmp.mp3 in the program's private temporary folder): 1 neither, 2 the source,
// 3 the target, 4 both. The encoder gets an argument list, so blanks need no
// detour; the modes are kept because the progress timers are named after them.
// The converter keeps its own start time and files, so it may run beside the
// speech save or a batch job.

#include "app/services.h"
#include "app/windows.h"
#include "export/processwatch.h"
#include "shared/vbtimer.h"

#include <QDateTime>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace sonorel::mp3conv {

// The source and target of the last conversion, shared with the finish window.
struct ConvertPaths {
    QString ConvertWavePath, ConvertMp3Path;
};

// tomp3.ini: the folders of the open and save dialogs, each ending in "/".
struct Tomp3Record {
    QString openFolder, saveFolder;
};
QByteArray encodeTomp3(const Tomp3Record& record);
Tomp3Record decodeTomp3(const QByteArray& bytes);

class wavtomp3 final : public QWidget {
    Q_OBJECT
public:
    // `finished` opens the finish window (the converter does not own it).
    wavtomp3(app::Services& services, ConvertPaths& paths, std::function<void()> finished,
             QWidget* parent = nullptr);

    // "hh:mm:ss" of `lTime` seconds.
    static QString GetTime(std::int64_t lTime);

    void Form_Load();
    void Image1_Click();   // choose the source
    void Image2_Click();   // choose the target
    void Command2_Click(); // Conver&t
    void Command1_Click(); // &Close
    // The progress tick of modes 1 to 4 (one function; the timer says the mode).
    void Timer1_Timer() { progressTick(Timer1); }
    void Timer2_Timer() { progressTick(Timer2); }
    void Timer3_Timer() { progressTick(Timer3); }
    void Timer4_Timer() { progressTick(Timer4); }

    bool isConverting() const;
    int ConvertMode = 0;
    std::int64_t SourceWaveSize = 0;
    std::int64_t EstimateMp3Unit = 0;
    int Mp3Percent = 0;
    QString Wav2Mp3, TempWavPath, TempMp3Path;
    const Tomp3Record& record() const { return m_record; }
    const exporting::ProcessWatch& encoder() const { return m_encoder; }

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    QLineEdit *Text1 = nullptr, *Text2 = nullptr;
    QToolButton *Image1 = nullptr, *Image2 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;
    VbTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr, *Timer4 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void progressTick(VbTimer* timer);
    void endConversion();
    void message(const QString& text);
    void showPicture(QToolButton* button, bool pointed);
    VbTimer* modeTimer() const;

    app::Services& m_services;
    ConvertPaths& m_paths;
    std::function<void()> m_finished;
    Tomp3Record m_record;
    exporting::ProcessWatch m_encoder;
    QDateTime m_start;
    QString m_output; // the file the encoder writes
};

class wavtomp3end final : public QWidget {
    Q_OBJECT
public:
    wavtomp3end(const ConvertPaths& paths, platform::ShellOpener& shell, QWidget* parent = nullptr);
    void Command1_Click(); // &Play
    void Command2_Click(); // &Close

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;

private:
    QString m_mp3;
    platform::ShellOpener& m_shell;
};

// Registers the converter and its finish window.
void registerConverter(app::Windows& windows, app::Services& services);

} // namespace sonorel::mp3conv
