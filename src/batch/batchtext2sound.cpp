#include "batch/batchtext2sound.h"

#include "platform/accessiblename.h"
#include "platform/files.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace sonorel::batch {

using platform::MessageButtons;
using platform::MessageIcon;

namespace {
const QString kParent = QStringLiteral("..");
const QString kRoot = QStringLiteral("/");

bool isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}
} // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this, &FolderList::enter);
}

bool FolderList::setPath(const QString& path) {
    if (!isFolder(path))
        return false;
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    clear();
    if (clean != kRoot)
        addItem(kParent);
    const QStringList folders =
        QDir(clean).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    addItems(folders);
    setCurrentRow(0);
    const bool changed = clean != m_path;
    m_path = clean;
    if (changed)
        emit pathChanged(m_path);
    return true;
}

void FolderList::enter(QListWidgetItem* item) {
    if (!item)
        return;
    const QString name = item->text();
    setPath(name == kParent ? QFileInfo(m_path).path() : QDir(m_path).filePath(name));
}

BatchText2Sound::BatchText2Sound(app::Services& services, app::Program& program,
                                 app::Reader& reader, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_program(program), m_reader(reader) {
    setWindowTitle(QStringLiteral("Batch Convert Text Files to Sound Files  - Sonorel"));
    m_job = new BatchConversion(
        {services.registry, services.clock, services.processes, services.folder},
        {[&reader] { return reader.recordingVoices(); }, [&reader] { return reader.voiceEntry(); }},
        this);
    connect(m_job, &BatchConversion::fileStarted, this, [this](int index, int count) {
        Label3->setText(QString::number(index) + u'/' + QString::number(count));
    });
    connect(m_job, &BatchConversion::progressLine, this,
            [this](const QString& line) { Label2->setText(line); });
    connect(m_job, &BatchConversion::finished, this, &BatchText2Sound::jobFinished);
    m_program.soundJobs.enlist(this, QStringLiteral("the batch conversion of text files"),
                               [this] { return m_job->isBusy(); });
    buildControls();
    m_drives = currentDrives();
    Form_Load();
}

BatchText2Sound::~BatchText2Sound() = default;

void BatchText2Sound::buildControls() {
    auto* column = new QVBoxLayout(this);

    auto* source = new QGroupBox(QStringLiteral("Please select source *.txt files"), this);
    auto* sourceGrid = new QGridLayout(source);
    auto* driveCaption = new QLabel(QStringLiteral("Drive"), source);
    Drive1 = new QComboBox(source);
    Dir1 = new FolderList(source);
    Label1 = new QLabel(QStringLiteral("Source folder"), source);
    Text2 = new QLineEdit(source);
    Text2->setReadOnly(true);
    File1 = new QListWidget(source);
    File1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Check1 = new QCheckBox(QStringLiteral("Select &all text files above"), source);
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(driveCaption);
    driveRow->addWidget(Drive1, 1);
    sourceGrid->addLayout(driveRow, 0, 0);
    sourceGrid->addWidget(Dir1, 1, 0);
    sourceGrid->addWidget(File1, 0, 1, 2, 1);
    sourceGrid->addWidget(Label1, 2, 0);
    sourceGrid->addWidget(Text2, 2, 1);
    sourceGrid->addWidget(Check1, 3, 1);
    column->addWidget(source, 1);

    auto* target = new QGroupBox(QStringLiteral("Please select target folder"), this);
    auto* targetRow = new QHBoxLayout(target);
    Text1 = new QLineEdit(target);
    Command3 = new QPushButton(QStringLiteral("&Select"), target);
    targetRow->addWidget(Text1, 1);
    targetRow->addWidget(Command3);
    column->addWidget(target);

    Label6 = new QLabel(QStringLiteral("Don't have space in file name"), this);
    Label7 = new QLabel(
        QStringLiteral("Note: To convert text to audio file, TTS5 is faster than TTS4."), this);
    column->addWidget(Label6);
    column->addWidget(Label7);

    auto* status = new QHBoxLayout;
    Label3 = new QLabel(this);
    Label4 = new QLabel(this);
    status->addWidget(Label3);
    status->addWidget(Label4);
    status->addStretch();
    column->addLayout(status);
    Label2 = new QLabel(this);
    Label2->setWordWrap(true);
    column->addWidget(Label2);

    auto* buttons = new QHBoxLayout;
    Command2 = new QPushButton(QStringLiteral("Begin convert to &mp3 files"), this);
    Command5 = new QPushButton(QStringLiteral("Begin convert to &wav files"), this);
    Command4 = new QPushButton(QStringLiteral("St&op"), this);
    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command4->setEnabled(false);
    for (QPushButton* button : {Command2, Command5, Command4, Command1})
        buttons->addWidget(button);
    column->addLayout(buttons);

    Drive1->setToolTip(QStringLiteral("The file system the source folder is on"));
    Dir1->setToolTip(QStringLiteral("Enter or double-click a folder to open it"));
    File1->setToolTip(QStringLiteral("Select the files to convert (Ctrl and Shift add to the "
                                     "selection)"));
    Text1->setToolTip(QStringLiteral("The folder the sound files are written to"));
    Command3->setToolTip(QStringLiteral("Choose the target folder"));
    Command2->setToolTip(QStringLiteral("Convert the selected files to MP3 files"));
    Command5->setToolTip(QStringLiteral("Convert the selected files to WAV files"));
    Command4->setToolTip(QStringLiteral("Stop the conversion after the current step"));
    Command1->setToolTip(QStringLiteral("Close this window"));
    // A combo box is told by its current entry; the caption is its label.
    platform::nameAfter(Drive1, driveCaption);
    platform::nameAs(Dir1, QStringLiteral("Source folders"));
    platform::nameAs(File1, QStringLiteral("Text files"));
    platform::nameAfter(Text2, Label1);
    platform::nameAs(Text1, QStringLiteral("Target folder"));
    platform::nameAs(Label3, QStringLiteral("File counter"));
    platform::nameAs(Label4, QStringLiteral("Kind of files"));
    platform::nameAs(Label2, QStringLiteral("Progress"));

    // Tab follows the layout: source, target, then the buttons.
    QWidget::setTabOrder(Drive1, Dir1);
    QWidget::setTabOrder(Dir1, File1);
    QWidget::setTabOrder(File1, Text2);
    QWidget::setTabOrder(Text2, Check1);
    QWidget::setTabOrder(Check1, Text1);
    QWidget::setTabOrder(Text1, Command3);
    QWidget::setTabOrder(Command3, Command2);
    QWidget::setTabOrder(Command2, Command5);
    QWidget::setTabOrder(Command5, Command4);
    QWidget::setTabOrder(Command4, Command1);

    connect(Drive1, &QComboBox::activated, this, [this] { Drive1_Change(); });
    connect(Dir1, &FolderList::pathChanged, this, &BatchText2Sound::Dir1_Change);
    connect(Check1, &QCheckBox::clicked, this, &BatchText2Sound::Check1_Click);
    connect(Text1, &QLineEdit::textChanged, this, &BatchText2Sound::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &BatchText2Sound::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &BatchText2Sound::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &BatchText2Sound::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &BatchText2Sound::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &BatchText2Sound::Command5_Click);
    resize(640, 520);
}

void BatchText2Sound::setDrives(const QStringList& drives) {
    m_drives = drives;
}

bool BatchText2Sound::selectDrive(const QString& drive) {
    const QSignalBlocker quiet(Drive1);
    Drive1->clear();
    Drive1->addItems(m_drives);
    const int index = int(m_drives.indexOf(drive));
    if (index < 0 || !isFolder(drive)) {
        Drive1->setCurrentIndex(0);
        return false;
    }
    Drive1->setCurrentIndex(index);
    return true;
}

void BatchText2Sound::Form_Load() {
    WinSets& w = m_program.win;
    // A drive that is not mounted now (or a drive letter from another system)
    // falls back to the root.
    if (!selectDrive(w.BatchDrive))
        w.BatchDrive = Drive1->currentText();
    if (!Dir1->setPath(w.BatchSourceFolder)) {
        Dir1->setPath(kRoot);
        w.BatchSourceFolder = Dir1->path();
    }
    Dir1_Change(); // the file list of the folder shown, also when it did not change
    if (!isFolder(w.BatchTargetFolder))
        w.BatchTargetFolder = kRoot;
    {
        const QSignalBlocker quiet(Text1);
        Text1->setText(w.BatchTargetFolder);
    }
    setRunning(false);
}

void BatchText2Sound::Drive1_Change() {
    WinSets& w = m_program.win;
    w.BatchDrive = Drive1->currentText();
    if (!isFolder(w.BatchDrive)) {
        message(QStringLiteral("Device unavailable"));
        w.BatchDrive = kRoot;
        return;
    }
    // Every path starts with "/", so the drive that holds the current folder is
    // compared with the chosen one instead of first characters.
    if (driveOf(w.BatchSourceFolder, m_drives) == w.BatchDrive && isFolder(w.BatchSourceFolder))
        Dir1->setPath(w.BatchSourceFolder);
    else
        Dir1->setPath(w.BatchDrive);
}

void BatchText2Sound::Dir1_Change() {
    const QString path = Dir1->path();
    m_program.win.BatchSourceFolder = path;
    File1->clear();
    File1->addItems(QDir(path).entryList({QStringLiteral("*.txt")}, QDir::Files,
                                         QDir::Name | QDir::IgnoreCase));
    Check1->setChecked(false);
    File1->clearSelection();
    Text2->setText(path);
}

void BatchText2Sound::Check1_Click() {
    if (File1->count() == 0)
        return;
    if (Check1->isChecked())
        File1->selectAll();
    else
        File1->clearSelection();
}

void BatchText2Sound::Text1_Change() {
    m_program.win.BatchTargetFolder = Text1->text();
}

QString BatchText2Sound::ShowFolderSelection(QWidget* owner, const QString& prompt) {
    return m_services.dialogs.chooseFolder(prompt, Text1->text().trimmed(), owner)
        .value_or(QString());
}

void BatchText2Sound::Command3_Click() {
    const QString folder = ShowFolderSelection(this, QStringLiteral("Select target folder"));
    if (!folder.isEmpty())
        Text1->setText(folder);
}

void BatchText2Sound::Command2_Click() {
    startJob(JobKind::Mp3);
}

void BatchText2Sound::Command5_Click() {
    startJob(JobKind::Wav);
}

void BatchText2Sound::message(const QString& text) {
    m_services.dialogs.message({.text = text,
                                .title = QStringLiteral("Sonorel"),
                                .buttons = MessageButtons::Ok,
                                .icon = MessageIcon::None},
                               this);
}

void BatchText2Sound::startJob(JobKind kind) {
    if (File1->count() == 0)
        return;
    const QString target = Text1->text().trimmed();
    if (target.isEmpty()) {
        message(QStringLiteral("Please select target folder"));
        return;
    }
    // The main window's speech save uses the same recording; one at a time.
    if (const QString other = m_program.soundJobs.otherRunning(this); !other.isEmpty()) {
        message(app::SoundJobs::refusal(other, QStringLiteral("the batch conversion")));
        return;
    }
    if (m_job->isBusy()) {
        message(QStringLiteral("Sonorel is still finishing the file it was speaking when the job "
                               "was stopped. Please start again in a moment."));
        return;
    }
    if (const QString refused =
            writeTest(m_services.folder.shippedFile(QStringLiteral("speak.dot")), target);
        !refused.isEmpty()) {
        message(refused);
        return;
    }
    QStringList names;
    for (int row = 0; row < File1->count(); ++row) {
        if (File1->item(row)->isSelected())
            names << File1->item(row)->text();
    }
    if (names.isEmpty()) {
        message(QStringLiteral("Please select at least one file"));
        return;
    }
    QString temp;
    if (kind == JobKind::Mp3) {
        temp = m_services.temp.path();
        if (temp.isEmpty()) {
            message(QStringLiteral("Sonorel has no folder for its temporary files: ") +
                    m_services.temp.error());
            return;
        }
    }
    fillJobLists(m_lists, kind, Dir1->path(), names, target, temp);
    m_program.RecStart = m_services.clock.now();
    Label4->setText(kind == JobKind::Mp3 ? QStringLiteral("MP3s") : QStringLiteral("WAVs"));
    Label2->clear();
    Label3->clear();
    setRunning(true);
    m_job->start(kind, m_reader.generation(), m_lists, m_program.RecStart);
}

void BatchText2Sound::setRunning(bool running) {
    Command4->setEnabled(running);
    for (QWidget* control : {static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2),
                             static_cast<QWidget*>(Command5), static_cast<QWidget*>(Command3),
                             static_cast<QWidget*>(Text1)})
        control->setEnabled(!running);
    // The focus must not stay on a button that was just disabled.
    if (running)
        Command4->setFocus();
}

void BatchText2Sound::TimerStop() {
    m_job->stop();
    setRunning(false);
}

void BatchText2Sound::Command4_Click() {
    TimerStop();
    Command2->setFocus();
}

void BatchText2Sound::jobFinished(int converted, const QStringList& skipped) {
    TimerStop();
    QString text = QStringLiteral("Converting is complete\n") + QString::number(converted) +
                   QStringLiteral(" of ") + QString::number(m_lists.FileCount) +
                   QStringLiteral(" files converted.");
    if (!skipped.isEmpty())
        text += QStringLiteral("\nSkipped: ") + skipped.join(QStringLiteral("; "));
    // A notice: nothing waits for the answer.
    m_services.dialogs.notify({.text = text, .title = QStringLiteral("Sonorel")}, this);
}

void BatchText2Sound::Command1_Click() {
    close();
}

void BatchText2Sound::closeEvent(QCloseEvent* event) {
    // Not while a job runs: its timers and files belong to this window.
    if (m_job->isRunning()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace sonorel::batch
