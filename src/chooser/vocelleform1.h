#pragma once
// The voice chooser's window: every voice of both generations in one list,
// opened at the mouse pointer and on top of other windows, the browser's voice
// (IEVoiceName.ini) marked. A press on an entry starts the reader beside this
// program with the voice command as its one argument, and the chooser ends.

#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/programfolder.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "shared/records.h"
#include "shared/vbtimer.h"

#include <QWidget>

class QListWidget;

namespace sonorel::chooser {

struct ChooserServices {
    platform::ProgramFolder& folder;
    platform::Dialogs& dialogs;
    platform::ProcessLauncher& processes;
    platform::speech::EngineFamily& gen4;
    platform::speech::EngineFamily& gen5;
};

// Where the window's top-left corner goes for a pointer at `cursor` (pixels):
// the window's bottom-right corner at the pointer, unless that pushes it past the
// left or top edge; then, on that axis, its top-left corner at the pointer.
QPoint placeAtCursor(QPoint cursor, QSize window, double twipsPerPixelX, double twipsPerPixelY);

class VocelleForm1 final : public QWidget {
    Q_OBJECT
public:
    VocelleForm1(ChooserServices services, QPoint cursorAtStart, QWidget* parent = nullptr);
    ~VocelleForm1() override;

    // Places the window, reads (or first writes) IEVoiceName.ini and shows the
    // window on top without taking the focus.
    void Form_Load();
    // Builds the list and marks the chosen voice; fires once, 50 ms after creation.
    void Timer1_Timer();
    // A press on the list: the selected entry goes to the reader.
    void List1_MouseDown();

    // The voice command for a list entry: token, "-4", generation, five digits, text.
    static QString voiceCommand(std::int32_t itemCode, const QString& entryText);

    QListWidget* List1 = nullptr;
    VbTimer* Timer1 = nullptr;
    IEVoiceNameRecord ChosenVoice;
    const QPoint CursorAtStart;

signals:
    // The chooser is done (a voice was handed to the reader, or it never could be).
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void GetEngines4();
    void GetEngines5();
    double twipsPerPixel(bool horizontal) const;

    ChooserServices m_services;
    platform::speech::DirectSS* DirectSS1 = nullptr;
    platform::speech::SpVoice* NewsVoice1 = nullptr;
    bool m_done = false;
};

} // namespace sonorel::chooser
