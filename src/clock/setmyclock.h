#pragma once
// "Set Alarm Clock - Sonorel": the talking clock's settings. Basic settings (which
// quarters of the hour are announced, the sentence's words, the bell) and
// advanced settings (alarms at intervals, every hour, every day); saved to
// stime.ini and tested with the bell and the sentence as they stand. The window
// is dragged by any free point of its body.

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "shared/vbtimer.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sonorel::clock {

class setmyclock final : public QWidget {
    Q_OBJECT
public:
    setmyclock(app::Services& services, app::Program& program, app::Reader& reader,
               QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click(); // &Save all settings
    void Command2_Click(); // &Close
    void Command3_Click(); // &Bell file
    void Command4_Click(); // &Test bell and alarm sentence
    void Timer1_Timer();

    // The nesting "Quarter" within "Half" within "Hour", and the alarms' entries.
    void Check1_Click();
    void Check2_Click();
    void Check3_Click();
    void Check4_Click();
    void Check5_Click();
    void Check6_Click();

    bool activated() const { return m_activated; }

    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr;                    // basic, advanced settings
    QCheckBox *Check1 = nullptr, *Check2 = nullptr, *Check3 = nullptr; // hour, half, quarter
    QCheckBox *Check4 = nullptr, *Check5 = nullptr, *Check6 = nullptr; // interval, hourly, daily
    QLineEdit *Text1 = nullptr, *Text2 = nullptr, *Text3 = nullptr;    // sentence words
    QLineEdit* Text4 = nullptr;                                        // bell file
    QLineEdit *Text5 = nullptr, *Text6 = nullptr, *Text7 = nullptr, *Text8 = nullptr; // alarms
    QLabel *LabelHour = nullptr, *LabelMinute = nullptr, *LabelNow = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr;
    VbTimer* Timer1 = nullptr;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void showNow();
    // An alarm's entries: on, enabled and white (the focus to the first once the
    // window has been activated); off, disabled and light grey.
    void alarmEntries(bool on, std::initializer_list<QLineEdit*> entries);
    static void paintEntry(QLineEdit* entry, QRgb colour);
    bool bellExists() const;

    app::Services& m_services;
    app::Program& m_program;
    app::Reader& m_reader;
    bool m_activated = false;
};

} // namespace sonorel::clock
