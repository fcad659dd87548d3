#pragma once
// The finish notice of a speech export: what was saved, with which voice, rate
// and pitch, how long it took; &Play opens the file with the desktop's player.
// A press of the left button anywhere on the window drags it.

#include "export/report.h"
#include "platform/shellopen.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace sonorel::exporting {

class mp3end final : public QWidget {
    Q_OBJECT
public:
    mp3end(FinishReport report, platform::ShellOpener& shell, QWidget* parent = nullptr);

    void Command1_Click(); // &Play
    void Command2_Click(); // &Close

    QLabel *Label2 = nullptr, *Label4 = nullptr, *Label6 = nullptr, *Label8 = nullptr,
           *Label10 = nullptr; // file, elapsed, voice, rate, pitch
    QPushButton *Command1 = nullptr, *Command2 = nullptr;

protected:
private:
    FinishReport m_report;
    platform::ShellOpener& m_shell;
};

} // namespace sonorel::exporting
