#pragma once
// The slide reader: a word list shown and spoken one entry at a time in large
// type, in list or random order, with pause, stepping, a full-window mode, and
// its delay, order, font and colours kept in the window settings.
//
// Words are spoken by the reader's clock voices (one per generation), which the
// talking clock shares. The two slide timers follow the interval-0 rule.

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "shared/vbtimer.h"

#include <QStringList>
#include <QWidget>
#include <random>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace sonorel::slides {

class WordDisplay;

class SlideReadAloud final : public QWidget {
    Q_OBJECT
public:
    SlideReadAloud(app::Services& services, app::Program& program, app::Reader& reader,
                   QWidget* parent = nullptr);

    void Command5_Click();  // Select &word file
    void Command8_Click();  // &Edit
    void Command2_Click();  // &Begin
    void Command3_Click();  // &Stop
    void Command4_Click();  // Pa&use / Res&ume
    void Command9_Click();  // &Previous
    void Command10_Click(); // &Next
    void Command6_Click();  // &Font
    void Command7_Click();  // C&olor
    void Command1_Click();  // &Close
    void Text1_Change();
    void SlideDelay_Change();
    void Form_DblClick(); // on the window or on the word display
    void seriation_Timer();
    void random_Timer();

    // What the dialog's OK does with the chosen path: remember its folder, show
    // it, count and load its entries.
    void useWordFile(const QString& path);

    WordDisplay* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr,
                *Command5 = nullptr, *Command6 = nullptr, *Command7 = nullptr, *Command8 = nullptr,
                *Command9 = nullptr, *Command10 = nullptr;
    QCheckBox *Check1 = nullptr, *Check2 = nullptr;
    QSlider* SlideDelay = nullptr;
    QLabel* delayShown = nullptr; // the slider's value in seconds
    QFrame* Frame1 = nullptr;
    VbTimer* seriation = nullptr;
    VbTimer* random = nullptr;

    QStringList SlideWords; // entry n is SlideWords[n - 1]
    std::int32_t SlideCount = 0;
    std::int32_t SlidePos = 0;
    QString SlideCountText;
    std::int32_t SlideStepMs = 0;
    bool SlideRunning = false;
    std::int32_t SlideStatus = 1; // 1 idle, 2 paused, 3 sliding

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void applySettings();
    void storeSettings();
    void setBackColor(const QColor& color);
    void setWordColor(const QColor& color);
    QColor backColor() const;
    QColor wordColor() const;
    QList<QWidget*> hideableControls() const;
    void showControls(bool shown);
    void setIdleControls();
    void loadEntries(const QString& path);
    void startSliding();
    void stopSliding();
    void tick(VbTimer* timer, bool randomOrder);
    void speakEntry(int number);
    void stepTo(int number);
    VbTimer* runTimer() const;
    void message(const QString& text);

    app::Services& m_services;
    app::Program& m_program;
    app::Reader& m_reader;
    std::mt19937 m_rng;
};

} // namespace sonorel::slides
