#include "clock/setmyclock.h"

#include "platform/accessiblename.h"
#include "platform/files.h"
#include "platform/windowdrag.h"
#include "shared/skiponerror.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace sonorel::clock {

namespace {
constexpr QRgb kEntryGrey = 0xE0E0E0;
constexpr QRgb kEntryWhite = 0xFFFFFF;

// Spaces at either end go; other white space stays, as typed.
QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.mid(begin, end - begin);
}

// A whole number that fits 32 bits; anything else fails the step.
std::int32_t entryNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    require(ok, "not a 32-bit number");
    return value;
}

// The system's general date: its short date and its time with seconds.
QString generalDate(const QDateTime& now) {
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QLatin1Char('t')); // the time zone's name is no part of it
    return locale.toString(now.date(), QLocale::ShortFormat) + ' ' +
           locale.toString(now.time(), time.trimmed());
}
} // namespace

setmyclock::setmyclock(app::Services& services, app::Program& program, app::Reader& reader,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_program(program), m_reader(reader) {
    setWindowTitle(QStringLiteral("Set Alarm Clock - Sonorel"));
    buildControls();
    Timer1 = new VbTimer(this, 1000);
    connect(Timer1, &VbTimer::timeout, this, &setmyclock::Timer1_Timer);
    Form_Load();
}

void setmyclock::buildControls() {
    auto* column = new QVBoxLayout(this);

    Frame1 = new QGroupBox(QStringLiteral("Basic settings"), this);
    auto* basic = new QGridLayout(Frame1);
    Check1 = new QCheckBox(QStringLiteral("Hour"), Frame1);
    Check2 = new QCheckBox(QStringLiteral("Half"), Frame1);
    Check3 = new QCheckBox(QStringLiteral("Quarter"), Frame1);
    Check1->setToolTip(QStringLiteral("Say the time on the hour"));
    Check2->setToolTip(QStringLiteral("Say the time at half past the hour (needs Hour)"));
    Check3->setToolTip(
        QStringLiteral("Say the time at a quarter past and to the hour (needs Hour and Half)"));
    auto* checks = new QHBoxLayout;
    checks->addWidget(Check1);
    checks->addWidget(Check2);
    checks->addWidget(Check3);
    checks->addStretch();
    basic->addLayout(checks, 0, 0, 1, 2);

    // The sentence reads as it is spoken: words, hour, word, minute, word.
    auto* sentenceCaption = new QLabel(QStringLiteral("Sound sentence:"), Frame1);
    Text1 = new QLineEdit(Frame1);
    LabelHour = new QLabel(Frame1);
    Text2 = new QLineEdit(Frame1);
    LabelMinute = new QLabel(Frame1);
    Text3 = new QLineEdit(Frame1);
    Text1->setToolTip(QStringLiteral("Words spoken before the hour"));
    Text2->setToolTip(QStringLiteral("Word spoken after the hour"));
    Text3->setToolTip(QStringLiteral("Word spoken after the minutes"));
    LabelHour->setToolTip(QStringLiteral("The hour now"));
    LabelMinute->setToolTip(QStringLiteral("The minute now"));
    auto* sentence = new QHBoxLayout;
    sentence->addWidget(Text1, 3);
    sentence->addWidget(LabelHour);
    sentence->addWidget(Text2, 2);
    sentence->addWidget(LabelMinute);
    sentence->addWidget(Text3, 2);
    basic->addWidget(sentenceCaption, 1, 0);
    basic->addLayout(sentence, 1, 1);

    auto* bellCaption = new QLabel(QStringLiteral("Bell sound:"), Frame1);
    Text4 = new QLineEdit(Frame1);
    Command3 = new QPushButton(QStringLiteral("&Bell file"), Frame1);
    Text4->setToolTip(QStringLiteral("The sound played before the time is said (WAV or MIDI)"));
    Command3->setToolTip(QStringLiteral("Choose the bell sound file"));
    auto* bell = new QHBoxLayout;
    bell->addWidget(Text4, 1);
    bell->addWidget(Command3);
    basic->addWidget(bellCaption, 2, 0);
    basic->addLayout(bell, 2, 1);
    basic->setColumnStretch(1, 1);
    column->addWidget(Frame1);

    Frame2 = new QGroupBox(QStringLiteral("Advanced settings"), this);
    auto* advanced = new QGridLayout(Frame2);
    const auto entry = [&](const QString& tip) {
        auto* e = new QLineEdit(Frame2);
        e->setToolTip(tip);
        e->setMaximumWidth(60);
        e->installEventFilter(this);
        // Pasted text is held to digits as typed text is.
        e->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        return e;
    };
    Check4 = new QCheckBox(QStringLiteral("Alarm at intervals of"), Frame2);
    Text5 = entry(QStringLiteral("Minutes between two alarms"));
    Check5 = new QCheckBox(QStringLiteral("Alarm at"), Frame2);
    Text6 = entry(QStringLiteral("Minute of every hour, 0 to 59"));
    Check6 = new QCheckBox(QStringLiteral("Alarm at "), Frame2);
    Text7 = entry(QStringLiteral("Hour of the day, 0 to 23"));
    Text8 = entry(QStringLiteral("Minute of that hour, 0 to 59"));
    Check4->setToolTip(QStringLiteral("Say the time every so many minutes"));
    Check5->setToolTip(QStringLiteral("Say the time at one minute of every hour"));
    Check6->setToolTip(QStringLiteral("Say the time once a day"));
    const auto row = [&](int r, QList<QWidget*> parts) {
        auto* line = new QHBoxLayout;
        for (QWidget* part : parts)
            line->addWidget(part);
        line->addStretch();
        advanced->addLayout(line, r, 0);
    };
    row(0, {Check4, Text5, new QLabel(QStringLiteral("minutes"), Frame2)});
    row(1, {Check5, Text6, new QLabel(QStringLiteral("minute every hour"), Frame2)});
    row(2, {Check6, Text7, new QLabel(QStringLiteral("hour"), Frame2), Text8,
            new QLabel(QStringLiteral("minute every day"), Frame2)});
    column->addWidget(Frame2);

    LabelNow = new QLabel(this);
    LabelNow->setToolTip(QStringLiteral("The date and time now"));
    column->addWidget(LabelNow);

    Command1 = new QPushButton(QStringLiteral("&Save all settings"), this);
    Command4 = new QPushButton(QStringLiteral("&Test bell and alarm sentence"), this);
    Command2 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setToolTip(QStringLiteral("Save the settings; the clock uses them at once"));
    Command4->setToolTip(QStringLiteral("Ring the bell and say the sentence as it stands now"));
    Command2->setToolTip(QStringLiteral("Close without saving"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command4);
    buttons->addWidget(Command2);
    column->addLayout(buttons);

    platform::nameAfter(Text1, sentenceCaption);
    platform::nameAs(Text2, QStringLiteral("Hour word"));
    platform::nameAs(Text3, QStringLiteral("Minute word"));
    platform::nameAfter(Text4, bellCaption);
    platform::nameAs(Text5, QStringLiteral("Alarm interval in minutes"));
    platform::nameAs(Text6, QStringLiteral("Alarm minute every hour"));
    platform::nameAs(Text7, QStringLiteral("Alarm hour every day"));
    platform::nameAs(Text8, QStringLiteral("Alarm minute every day"));

    connect(Check1, &QCheckBox::toggled, this, &setmyclock::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &setmyclock::Check2_Click);
    connect(Check3, &QCheckBox::toggled, this, &setmyclock::Check3_Click);
    connect(Check4, &QCheckBox::toggled, this, &setmyclock::Check4_Click);
    connect(Check5, &QCheckBox::toggled, this, &setmyclock::Check5_Click);
    connect(Check6, &QCheckBox::toggled, this, &setmyclock::Check6_Click);
    connect(Command1, &QPushButton::clicked, this, &setmyclock::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &setmyclock::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &setmyclock::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &setmyclock::Command4_Click);

    QList<QWidget*> body{Frame1, Frame2};
    for (QLabel* label : findChildren<QLabel*>())
        body << label;
    platform::dragByBody(this, body);
}

void setmyclock::Form_Load() {
    m_activated = false;
    const ClockSettings& s = m_program.clock;
    // Each change runs its check box's rule, so the nesting always holds.
    Check1->setChecked(s.HourOn == 1);
    Check2->setChecked(s.HalfOn == 1);
    Check3->setChecked(s.QuarterOn == 1);
    Text1->setText(s.SentenceStart);
    Text2->setText(s.HourWord);
    Text3->setText(s.MinuteWord);
    Text4->setText(s.BellFile);
    Check4->setChecked(s.IntervalOn == 1);
    Text5->setText(s.IntervalMinutes >= 1 ? QString::number(s.IntervalMinutes) : QString());
    Check5->setChecked(s.HourlyOn == 1);
    Text6->setText(s.HourlyMinute < 60 ? QString::number(s.HourlyMinute) : QString());
    Check6->setChecked(s.DailyOn == 1);
    Text7->setText(s.DailyHour < 24 ? QString::number(s.DailyHour) : QString());
    Text8->setText(s.DailyMinute < 60 ? QString::number(s.DailyMinute) : QString());
    // At load every entry is light grey; one turns white when the user switches
    // its alarm on.
    Text5->setEnabled(Check4->isChecked());
    Text6->setEnabled(Check5->isChecked());
    Text7->setEnabled(Check6->isChecked());
    Text8->setEnabled(Check6->isChecked());
    for (QLineEdit* e : {Text5, Text6, Text7, Text8})
        paintEntry(e, kEntryGrey);
    showNow();
    // The words show in the reading font.
    if (!m_program.win.TextFontName.isEmpty()) {
        for (QLineEdit* e : {Text1, Text2, Text3, Text4}) {
            QFont font = e->font();
            font.setFamily(m_program.win.TextFontName);
            e->setFont(font);
        }
    }
}

bool setmyclock::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        m_activated = true;
    return QWidget::event(event);
}

bool setmyclock::eventFilter(QObject* watched, QEvent* event) {
    // The alarm entries take digits and Backspace; every other typed character is
    // dropped. Keys that type nothing (Tab, arrows, Delete) keep their work.
    if (event->type() == QEvent::KeyPress &&
        (watched == Text5 || watched == Text6 || watched == Text7 || watched == Text8)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
            key->key() != Qt::Key_Delete) {
            const QChar c = text[0];
            const bool digit = c >= '0' && c <= '9';
            if (!digit && c != QChar(8))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void setmyclock::Timer1_Timer() {
    showNow();
}

void setmyclock::showNow() {
    const QDateTime now = m_services.clock.now();
    LabelHour->setText(QString::number(now.time().hour()));
    LabelMinute->setText(QString::number(now.time().minute()));
    LabelNow->setText(generalDate(now));
    platform::nameAs(LabelHour, "Hour " + LabelHour->text());
    platform::nameAs(LabelMinute, "Minute " + LabelMinute->text());
}

void setmyclock::Check1_Click() {
    if (!Check1->isChecked()) {
        Check2->setChecked(false);
        Check3->setChecked(false);
    }
}

void setmyclock::Check2_Click() {
    if (Check2->isChecked())
        Check1->setChecked(true);
    else
        Check3->setChecked(false);
}

void setmyclock::Check3_Click() {
    if (Check3->isChecked()) {
        Check1->setChecked(true);
        Check2->setChecked(true);
    }
}

void setmyclock::Check4_Click() {
    alarmEntries(Check4->isChecked(), {Text5});
}

void setmyclock::Check5_Click() {
    alarmEntries(Check5->isChecked(), {Text6});
}

void setmyclock::Check6_Click() {
    alarmEntries(Check6->isChecked(), {Text7, Text8});
}

void setmyclock::alarmEntries(bool on, std::initializer_list<QLineEdit*> entries) {
    for (QLineEdit* e : entries) {
        e->setEnabled(on);
        paintEntry(e, on ? kEntryWhite : kEntryGrey);
    }
    // While loading, the window is not shown yet: no focus to move.
    if (on && m_activated)
        (*entries.begin())->setFocus(Qt::OtherFocusReason);
}

void setmyclock::paintEntry(QLineEdit* entry, QRgb colour) {
    QPalette palette = entry->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, QColor(colour));
    entry->setPalette(palette);
}

bool setmyclock::bellExists() const {
    return platform::fileExists(trimSpaces(Text4->text()));
}

void setmyclock::Command1_Click() {
    if (!bellExists()) {
        m_services.dialogs.message({.text = QStringLiteral("Bell file is not exists")}, this);
        return;
    }
    ClockSettings& s = m_program.clock;
    s.HourOn = Check1->isChecked() ? 1 : 0;
    s.HalfOn = Check2->isChecked() ? 1 : 0;
    s.QuarterOn = Check3->isChecked() ? 1 : 0;
    s.SentenceStart = trimSpaces(Text1->text());
    s.HourWord = trimSpaces(Text2->text());
    s.MinuteWord = trimSpaces(Text3->text());
    s.BellFile = trimSpaces(Text4->text());

    // An alarm left on without its entry is switched off and stored unset.
    s.IntervalOn = Check4->isChecked() ? 1 : 0;
    skipOnError("interval", [&] {
        const QString minutes = trimSpaces(Text5->text());
        if (Check4->isChecked() && !minutes.isEmpty()) {
            s.IntervalMinutes = entryNumber(minutes);
        } else {
            s.IntervalMinutes = 0;
            Check4->setChecked(false);
            s.IntervalOn = 0;
        }
    });
    m_program.IntervalBase = m_services.clock.now();

    s.HourlyOn = Check5->isChecked() ? 1 : 0;
    skipOnError("hourly alarm", [&] {
        const QString minute = trimSpaces(Text6->text());
        if (Check5->isChecked() && !minute.isEmpty()) {
            s.HourlyMinute = entryNumber(minute);
        } else {
            s.HourlyMinute = 70;
            Check5->setChecked(false);
            s.HourlyOn = 0;
        }
    });

    s.DailyOn = Check6->isChecked() ? 1 : 0;
    skipOnError("daily alarm", [&] {
        const QString hour = trimSpaces(Text7->text());
        const QString minute = trimSpaces(Text8->text());
        if (Check6->isChecked() && !hour.isEmpty() && !minute.isEmpty()) {
            s.DailyHour = entryNumber(hour);
            s.DailyMinute = entryNumber(minute);
        } else {
            s.DailyHour = 25;
            s.DailyMinute = 70;
            Check6->setChecked(false);
            s.DailyOn = 0;
        }
    });

    skipOnError("stime.ini", [&] {
        require(saveRecord(m_services.folder.programFile(QStringLiteral("stime.ini")), s),
                "stime.ini not written");
    });
    m_program.IntervalBase = m_services.clock.now();
}

void setmyclock::Command2_Click() {
    close();
}

void setmyclock::Command3_Click() {
    skipOnError("bell file dialog", [&] {
        const auto choice = m_services.dialogs.openFile(
            {.title = QStringLiteral("Select A File"),
             .filters = {{QStringLiteral("Wav file (*.wav)"), QStringLiteral("*.wav")},
                         {QStringLiteral("Mid file (*.mid)"), QStringLiteral("*.mid")}},
             .initialFolder = m_program.win.OpenFolder,
             .fileName = {}},
            this);
        // The name buffer holds 255 characters; a longer path does not come back.
        if (choice && !choice->path.isEmpty() && choice->path.size() <= 255)
            Text4->setText(choice->path);
    });
}

void setmyclock::Command4_Click() {
    m_program.TestBellFile = trimSpaces(Text4->text());
    m_program.TestSentence = trimSpaces(Text1->text()) + " " + LabelHour->text() + " " +
                             trimSpaces(Text2->text()) + " " + LabelMinute->text() + " " +
                             trimSpaces(Text3->text());
    m_reader.startTimerSayTest();
    // The test runs anyway, without a bell.
    if (!bellExists())
        m_services.dialogs.message({.text = QStringLiteral("Bell file is not exists")}, this);
}

} // namespace sonorel::clock
