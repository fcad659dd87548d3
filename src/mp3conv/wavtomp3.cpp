#include "mp3conv/wavtomp3.h"

#include "export/encoder.h"
#include "export/progress.h"
#include "platform/accessiblename.h"
#include "platform/files.h"
#include "platform/windowdrag.h"
#include "shared/elapsed.h"
#include "shared/recordcodec.h"

#include <cmath>
#include <filesystem>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace sonorel::mp3conv {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {
constexpr int kTick = 500;

QString folderOf(const QString& path) {
    return path.left(path.lastIndexOf(u'/') + 1);
}
} // namespace

QByteArray encodeTomp3(const Tomp3Record& record) {
    RecordWriter writer;
    writer.text(record.openFolder);
    writer.text(record.saveFolder);
    return writer.bytes();
}

Tomp3Record decodeTomp3(const QByteArray& bytes) {
    RecordReader reader(bytes);
    Tomp3Record record;
    record.openFolder = reader.text();
    record.saveFolder = reader.text();
    return record;
}

wavtomp3::wavtomp3(app::Services& services, ConvertPaths& paths, std::function<void()> finished,
                   QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_paths(paths),
      m_finished(std::move(finished)) {
    setWindowTitle(QStringLiteral("Convert wav to mp3 by Sonorel"));
    buildControls();
    Form_Load();
}

void wavtomp3::buildControls() {
    auto* grid = new QGridLayout(this);
    Label4 = new QLabel(QStringLiteral("Source wav file"), this);
    Text1 = new QLineEdit(this);
    Image1 = new QToolButton(this);
    Label3 = new QLabel(QStringLiteral("Target mp3 file"), this);
    Text2 = new QLineEdit(this);
    Image2 = new QToolButton(this);
    grid->addWidget(Label4, 0, 0);
    grid->addWidget(Text1, 1, 0);
    grid->addWidget(Image1, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(Text2, 3, 0);
    grid->addWidget(Image2, 3, 1);

    auto* row = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("000"), this);
    Label2 = new QLabel(QStringLiteral("00:00:00"), this);
    Command2 = new QPushButton(QStringLiteral("Conver&t"), this);
    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    row->addWidget(Label1);
    row->addWidget(Label2);
    row->addStretch();
    row->addWidget(Command2);
    row->addWidget(Command1);
    grid->addLayout(row, 4, 0, 1, 2);
    Label1->hide();
    Label2->hide();

    for (QToolButton* button : {Image1, Image2}) {
        button->setAutoRaise(true);
        button->setIconSize(QSize(32, 32));
        button->installEventFilter(this);
        showPicture(button, false);
    }
    Image1->setToolTip(QStringLiteral("Choose the WAV file to convert"));
    Image2->setToolTip(QStringLiteral("Choose the MP3 file to write"));
    Command2->setToolTip(QStringLiteral("Convert the WAV file to MP3"));
    Command1->setToolTip(QStringLiteral("Close this window"));
    platform::nameAfter(Text1, Label4);
    platform::nameAfter(Text2, Label3);
    platform::nameAs(Image1, QStringLiteral("Browse for the source wav file"));
    platform::nameAs(Image2, QStringLiteral("Browse for the target mp3 file"));
    platform::nameAs(Label1, QStringLiteral("Percent converted"));
    platform::nameAs(Label2, QStringLiteral("Elapsed time"));
    QWidget::setTabOrder(Text1, Image1);
    QWidget::setTabOrder(Image1, Text2);
    QWidget::setTabOrder(Text2, Image2);
    QWidget::setTabOrder(Image2, Command2);
    QWidget::setTabOrder(Command2, Command1);
    platform::dragByBody(this, {Label1, Label3, Label4});

    Timer1 = new VbTimer(this);
    Timer2 = new VbTimer(this);
    Timer3 = new VbTimer(this);
    Timer4 = new VbTimer(this);
    connect(Timer1, &VbTimer::timeout, this, &wavtomp3::Timer1_Timer);
    connect(Timer2, &VbTimer::timeout, this, &wavtomp3::Timer2_Timer);
    connect(Timer3, &VbTimer::timeout, this, &wavtomp3::Timer3_Timer);
    connect(Timer4, &VbTimer::timeout, this, &wavtomp3::Timer4_Timer);
    connect(Image1, &QToolButton::clicked, this, &wavtomp3::Image1_Click);
    connect(Image2, &QToolButton::clicked, this, &wavtomp3::Image2_Click);
    connect(Command2, &QPushButton::clicked, this, &wavtomp3::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &wavtomp3::Command1_Click);
    setMinimumWidth(460);
}

void wavtomp3::showPicture(QToolButton* button, bool pointed) {
    const QString file = m_services.folder.shippedFile(pointed ? QStringLiteral("open0.bmp")
                                                               : QStringLiteral("open1.bmp"));
    const QPixmap picture(file);
    if (!picture.isNull())
        button->setIcon(picture);
    else if (button->text().isEmpty())
        button->setText(QStringLiteral("..."));
}

bool wavtomp3::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button && (event->type() == QEvent::Enter || event->type() == QEvent::Leave))
        showPicture(button, event->type() == QEvent::Enter);
    return QWidget::eventFilter(watched, event);
}

QString wavtomp3::GetTime(std::int64_t lTime) {
    return elapsedText(lTime);
}

void wavtomp3::Form_Load() {
    const QString file = m_services.folder.programFile(QStringLiteral("tomp3.ini"));
    if (!QFile::exists(file)) {
        const QString folder = m_services.folder.folder();
        writeFileAtomically(file, encodeTomp3({folder, folder}));
    }
    m_record = decodeTomp3(readWholeFile(file));
}

void wavtomp3::Image1_Click() {
    const auto choice = m_services.dialogs.openFile(
        {.title = QStringLiteral("Select A File"),
         .filters = {{QStringLiteral("Wave File (*.wav)"), QStringLiteral("*.wav")}},
         .initialFolder = m_record.openFolder,
         .fileName = {}},
        this);
    if (!choice)
        return;
    m_paths.ConvertWavePath = QString(choice->path).remove(QChar(0)).trimmed();
    m_record.openFolder = folderOf(m_paths.ConvertWavePath);
    Text1->setText(m_paths.ConvertWavePath);
}

void wavtomp3::Image2_Click() {
    const auto choice = m_services.dialogs.saveFile(
        {.title = QStringLiteral("Save as"),
         .filters = {{QStringLiteral("MP3 File(*.mp3)"), QStringLiteral("*.mp3")}},
         .initialFolder = m_record.saveFolder,
         .fileName = {}},
        this);
    if (!choice)
        return;
    QString path = QString(choice->path).remove(QChar(0)).trimmed();
    if (!path.endsWith(QLatin1String(".mp3"), Qt::CaseSensitive))
        path += QStringLiteral(".mp3");
    m_paths.ConvertMp3Path = path;
    m_record.saveFolder = folderOf(path);
    Text2->setText(path);
}

void wavtomp3::message(const QString& text) {
    m_services.dialogs.message({.text = text, .title = QStringLiteral("Sonorel")}, this);
}

VbTimer* wavtomp3::modeTimer() const {
    switch (ConvertMode) {
    case 1:
        return Timer1;
    case 2:
        return Timer2;
    case 3:
        return Timer3;
    case 4:
        return Timer4;
    default:
        return nullptr;
    }
}

bool wavtomp3::isConverting() const {
    const VbTimer* timer = modeTimer();
    return timer && timer->interval() > 0;
}

void wavtomp3::Command2_Click() {
    if (isConverting()) {
        // One encoder at a time: both would report into the same labels.
        message(QStringLiteral("Sonorel is still converting ") + m_paths.ConvertWavePath +
                QStringLiteral(". Please wait until it has finished."));
        return;
    }
    ConvertPaths& p = m_paths;
    p.ConvertWavePath = Text1->text().trimmed();
    p.ConvertMp3Path = Text2->text().trimmed();
    if (p.ConvertWavePath.size() <= 7) {
        message(QStringLiteral("Please select a source wav file"));
        return;
    }
    if (!platform::fileExists(p.ConvertWavePath)) {
        message(p.ConvertWavePath + QStringLiteral(" is not exist"));
        return;
    }
    // The encoder would turn any other file into noise and call it a success.
    if (!exporting::isWavFile(p.ConvertWavePath)) {
        message(p.ConvertWavePath + QStringLiteral(" is not a WAV file, so it cannot be "
                                                   "converted to MP3."));
        return;
    }
    if (p.ConvertMp3Path.size() <= 7) {
        message(QStringLiteral("Please input a target mp3 file name, like as c:\\hero.mp3"));
        return;
    }
    if (platform::fileExists(p.ConvertMp3Path)) {
        const MessageAnswer answer = m_services.dialogs.message(
            {.text = p.ConvertMp3Path +
                     QStringLiteral(" is already exist,do you want to overwrite it ?"),
             .title = QStringLiteral("Message"),
             .buttons = MessageButtons::YesNo,
             .icon = MessageIcon::Critical,
             .defaultButton = 2},
            this);
        if (answer != MessageAnswer::Yes)
            return;
    }
    const bool blankIn = p.ConvertWavePath.contains(u' ');
    const bool blankOut = p.ConvertMp3Path.contains(u' ');
    ConvertMode = blankIn ? (blankOut ? 4 : 2) : (blankOut ? 3 : 1);
    const QString temp = m_services.temp.path();
    if ((blankIn || blankOut) && temp.isEmpty()) {
        message(QStringLiteral("Sonorel has no folder for its temporary files: ") +
                m_services.temp.error());
        return;
    }
    TempWavPath = temp + QStringLiteral("/w2mtmp.wav");
    TempMp3Path = temp + QStringLiteral("/w2mtmp.mp3");
    QString input = p.ConvertWavePath;
    m_output = p.ConvertMp3Path;
    if (blankIn) {
        platform::removeFile(TempWavPath);
        std::error_code ec;
        std::filesystem::copy_file(QFile::encodeName(p.ConvertWavePath).toStdString(),
                                   QFile::encodeName(TempWavPath).toStdString(), ec);
        if (ec) {
            message(QStringLiteral("Sonorel could not copy ") + p.ConvertWavePath +
                    QStringLiteral(" to its temporary folder: ") +
                    QString::fromStdString(ec.message()));
            return;
        }
        input = TempWavPath;
    }
    if (blankOut) {
        // An output of an earlier conversion would pass for this one's.
        platform::removeFile(TempMp3Path);
        m_output = TempMp3Path;
    }
    SourceWaveSize = platform::fileSize(input);
    EstimateMp3Unit = std::llround(double(SourceWaveSize) / exporting::kWavBytesPer10000Chars *
                                   exporting::kMp3BytesPerWav / 100);
    Mp3Percent = 0;
    Wav2Mp3 = input + u' ' + m_output;
    Label1->setText(QStringLiteral("0%"));
    Label2->setText(GetTime(0));
    Label1->show();
    Label2->show();
    m_start = m_services.clock.now();
    const exporting::EncoderStart run =
        exporting::startEncoder(m_services.processes, m_services.folder.folder(), input, m_output);
    if (!run.pid) {
        Label1->hide();
        Label2->hide();
        message(run.error);
        return;
    }
    m_encoder.watch(*run.pid);
    VbTimer* timer = modeTimer();
    timer->setInterval(kTick);
    // The encoder's exit is seen at once instead of at the next tick.
    const qint64 pid = *run.pid;
    m_services.processes.notifyEnd(pid, this, [this, pid, timer] {
        if (m_encoder.pid() == pid && timer->interval() > 0)
            progressTick(timer);
    });
}

void wavtomp3::progressTick(VbTimer* timer) {
    if (timer != modeTimer() || timer->interval() <= 0)
        return;
    Label2->setText(GetTime(m_start.secsTo(m_services.clock.now())));
    const bool running = m_encoder.isRunning(m_services.processes);
    if (!platform::fileExists(m_output)) {
        if (running)
            return;
        // An encoder that ended without output would otherwise be waited for for ever.
        timer->setInterval(0);
        Label1->hide();
        Label2->hide();
        platform::removeFile(TempWavPath);
        message(QStringLiteral("The MP3 encoder ended without writing ") + m_paths.ConvertMp3Path +
                QStringLiteral("."));
        return;
    }
    if (EstimateMp3Unit > 0) {
        Mp3Percent =
            int(std::min<std::int64_t>(platform::fileSize(m_output) / EstimateMp3Unit, 1000000));
        Label1->setText(Mp3Percent < 101 ? QString::number(Mp3Percent) + u'%'
                                         : QStringLiteral("100%"));
    }
    if (running)
        return;
    endConversion();
}

void wavtomp3::endConversion() {
    if (VbTimer* timer = modeTimer())
        timer->setInterval(0);
    // The copy of the source is not needed again; the private folder may live in memory.
    if (ConvertMode == 2 || ConvertMode == 4)
        platform::removeFile(TempWavPath);
    if (ConvertMode == 3 || ConvertMode == 4) {
        if (const QString error = exporting::moveFile(TempMp3Path, m_paths.ConvertMp3Path);
            !error.isEmpty()) {
            Label1->hide();
            Label2->hide();
            message(QStringLiteral("Sonorel could not write ") + m_paths.ConvertMp3Path +
                    QStringLiteral(": ") + error + QStringLiteral(". The MP3 file is in ") +
                    TempMp3Path + u'.');
            return;
        }
    }
    if (m_finished)
        m_finished();
    Label1->hide();
    Label2->hide();
}

void wavtomp3::Command1_Click() {
    close();
}

void wavtomp3::closeEvent(QCloseEvent* event) {
    // The encoder runs on; its progress and finish window are given up.
    if (VbTimer* timer = modeTimer())
        timer->setInterval(0);
    const QString file = m_services.folder.programFile(QStringLiteral("tomp3.ini"));
    platform::removeFile(file);
    writeFileAtomically(file, encodeTomp3(m_record));
    event->accept();
}

wavtomp3end::wavtomp3end(const ConvertPaths& paths, platform::ShellOpener& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), m_mp3(paths.ConvertMp3Path), m_shell(shell) {
    setWindowTitle(QStringLiteral("Sonorel"));
    auto* column = new QVBoxLayout(this);
    Label4 = new QLabel(QStringLiteral("Convert"), this);
    Label1 = new QLabel(paths.ConvertWavePath, this);
    Label5 = new QLabel(QStringLiteral("to"), this);
    Label2 = new QLabel(paths.ConvertMp3Path, this);
    Label3 = new QLabel(QStringLiteral("Successfully!"), this);
    for (QLabel* label : {Label4, Label1, Label5, Label2, Label3}) {
        label->setWordWrap(true);
        column->addWidget(label);
    }
    auto* buttons = new QHBoxLayout;
    Command1 = new QPushButton(QStringLiteral("&Play"), this);
    Command2 = new QPushButton(QStringLiteral("&Close"), this);
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    column->addLayout(buttons);
    Command1->setToolTip(QStringLiteral("Play the MP3 file"));
    Command2->setToolTip(QStringLiteral("Close this window"));
    platform::nameAs(Label1, QStringLiteral("Source file ") + paths.ConvertWavePath);
    platform::nameAs(Label2, QStringLiteral("Target file ") + paths.ConvertMp3Path);
    connect(Command1, &QPushButton::clicked, this, &wavtomp3end::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &wavtomp3end::Command2_Click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &wavtomp3end::Command2_Click);
    platform::dragByBody(this, {Label4, Label1, Label5, Label2, Label3});
    setMinimumWidth(360);
}

void wavtomp3end::Command1_Click() {
    if (!m_shell.open(m_mp3))
        qWarning().noquote() << "wavtomp3end: no program opens" << m_mp3;
}

void wavtomp3end::Command2_Click() {
    close();
}

void registerConverter(app::Windows& windows, app::Services& services) {
    auto paths = std::make_shared<ConvertPaths>();
    windows.registerWindow(app::WindowId::ConverterEnd,
                           [paths, &services] { return new wavtomp3end(*paths, services.shell); });
    windows.registerWindow(app::WindowId::Converter, [paths, &services, &windows] {
        return new wavtomp3(services, *paths, [&windows] {
            // A finish window of an earlier conversion is made anew.
            windows.unload(app::WindowId::ConverterEnd);
            windows.show(app::WindowId::ConverterEnd);
        });
    });
}

} // namespace sonorel::mp3conv
