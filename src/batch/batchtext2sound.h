#pragma once
// The batch window: pick a folder of text files, select some or all, pick a
// target folder and turn each file into a WAV or MP3 spoken with the reader's
// current voice. The job itself runs in BatchConversion; this window sets it up,
// shows its counter and progress line and refuses to close while it runs.
//
// On Linux the drive list holds the mounted file systems a user picks from ("/",
// the home folder, removable media under /media and /run/media).

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "batch/batchconversion.h"

#include <QListWidget>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sonorel::batch {

// A folder list: ".." (unless at "/") and the subfolders of the current folder;
// activating an entry (double click, Enter) moves into it.
class FolderList final : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    // False, with nothing changed, when `path` is no folder.
    bool setPath(const QString& path);

signals:
    void pathChanged(const QString& path);

private:
    void enter(QListWidgetItem* item);
    QString m_path;
};

class BatchText2Sound final : public QWidget {
    Q_OBJECT
public:
    BatchText2Sound(app::Services& services, app::Program& program, app::Reader& reader,
                    QWidget* parent = nullptr);
    ~BatchText2Sound() override;

    // Picks a folder; empty when the user cancels.
    QString ShowFolderSelection(QWidget* owner, const QString& prompt);
    // The end of a job, and the Stop button: every stage disarmed, the window idle.
    void TimerStop();

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Check1_Click();
    void Text1_Change();
    void Command1_Click(); // &Close
    void Command2_Click(); // MP3 job
    void Command3_Click(); // &Select the target
    void Command4_Click(); // St&op
    void Command5_Click(); // WAV job

    bool JobIdle() const { return !m_job->isRunning(); }
    BatchConversion& job() { return *m_job; }
    const JobLists& lists() const { return m_lists; }
    // The drives the list offers (by default the mounted file systems).
    void setDrives(const QStringList& drives);

    QComboBox* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QListWidget* File1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr,
                *Command5 = nullptr;
    QLabel *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label6 = nullptr,
           *Label7 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void startJob(JobKind kind);
    void setRunning(bool running);
    void jobFinished(int converted, const QStringList& skipped);
    void message(const QString& text);
    bool selectDrive(const QString& drive);

    app::Services& m_services;
    app::Program& m_program;
    app::Reader& m_reader;
    BatchConversion* m_job = nullptr;
    JobLists m_lists;
    QStringList m_drives;
};

} // namespace sonorel::batch
