#include "chooser/vocelleform1.h"

#include "platform/accessiblename.h"
#include "shared/linkcommand.h"
#include "shared/recordcodec.h"
#include "shared/skiponerror.h"
#include "voices/voicecatalog.h"

#include <cmath>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace sonorel::chooser {

namespace {
// Off unless asked for (QT_LOGGING_RULES="sonorel.chooser.info=true"): the start
// benchmark waits for the line that says the list is ready.
Q_LOGGING_CATEGORY(lcChooser, "sonorel.chooser", QtWarningMsg)

constexpr auto kVoiceFile = "IEVoiceName.ini";
constexpr int kCodeRole = Qt::UserRole;

// The chooser never speaks: its voice objects only list the voices.
platform::speech::SinkFactory noSound() {
    return platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "Vocelle");
}
} // namespace

QPoint placeAtCursor(QPoint cursor, QSize window, double twipsPerPixelX, double twipsPerPixelY) {
    // Computed in twips, as the window's place always was.
    auto axis = [](int at, int size, double twipsPerPixel) {
        const double sizeTwips = size * twipsPerPixel;
        const double edge = at * twipsPerPixel - sizeTwips;
        const double placed = edge < 1 ? edge + sizeTwips : edge;
        return int(std::lround(placed / twipsPerPixel));
    };
    return {axis(cursor.x(), window.width(), twipsPerPixelX),
            axis(cursor.y(), window.height(), twipsPerPixelY)};
}

QString VocelleForm1::voiceCommand(std::int32_t itemCode, const QString& entryText) {
    return makeVoiceCommand(itemCode, entryText);
}

VocelleForm1::VocelleForm1(ChooserServices services, QPoint cursorAtStart, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), CursorAtStart(cursorAtStart),
      m_services(services) {
    setObjectName("VocelleForm1");
    setWindowTitle("Change SOREL's Voice");
    // Shown on top of the browser without taking the keyboard from it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(300, 260);

    List1 = new QListWidget(this);
    List1->setObjectName("List1");
    List1->setToolTip("Click a voice to read with it");
    platform::nameAs(List1, "Voices", List1->toolTip());
    List1->setUniformItemSizes(true);
    List1->viewport()->installEventFilter(this);
    List1->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(List1);

    // A one-shot: the window shows first, the engines are asked afterwards.
    Timer1 = new VbTimer(this, 50);
    connect(Timer1, &VbTimer::timeout, this, &VocelleForm1::Timer1_Timer);
}

VocelleForm1::~VocelleForm1() = default;

double VocelleForm1::twipsPerPixel(bool horizontal) const {
    const QScreen* s = screen();
    const double dpi = !s ? 96.0 : horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void VocelleForm1::Form_Load() {
    skipOnError("place", [&] {
        move(placeAtCursor(CursorAtStart, frameGeometry().size(), twipsPerPixel(true),
                           twipsPerPixel(false)));
    });
    skipOnError("browser voice", [&] {
        const QString path = m_services.folder.programFile(kVoiceFile);
        if (!fileNamePresent(m_services.folder.writableFolder(), kVoiceFile)) {
            ChosenVoice = {"Mary (TTS4.0)", "4"};
            QString error;
            if (!saveRecord(path, ChosenVoice, &error))
                qWarning().noquote() << "browser voice:" << error;
        } else {
            ChosenVoice = loadRecord<IEVoiceNameRecord>(path);
        }
    });
    show();
    // The frame is known once shown; the corner goes where the pointer is.
    skipOnError("place", [&] {
        move(placeAtCursor(CursorAtStart, frameGeometry().size(), twipsPerPixel(true),
                           twipsPerPixel(false)));
    });
}

void VocelleForm1::GetEngines4() {
    DirectSS1 = new platform::speech::DirectSS(m_services.gen4, noSound(), this);
    for (const auto& e : voices::engines4(*DirectSS1)) {
        auto* item = new QListWidgetItem(e.text, List1);
        item->setData(kCodeRole, e.itemCode);
    }
}

void VocelleForm1::GetEngines5() {
    NewsVoice1 = new platform::speech::SpVoice(m_services.gen5, noSound(), this);
    for (const auto& e : voices::engines5(*NewsVoice1)) {
        auto* item = new QListWidgetItem(e.text, List1);
        item->setData(kCodeRole, e.itemCode);
    }
}

void VocelleForm1::Timer1_Timer() {
    Timer1->setInterval(0);
    skipOnError("generation-4 voices", [&] { GetEngines4(); });
    skipOnError("generation-5 voices", [&] { GetEngines5(); });
    // The last entry stays marked when none is the chosen voice.
    for (int i = 0; i < List1->count(); ++i) {
        List1->setCurrentRow(i);
        if (List1->currentItem()->text() == ChosenVoice.VoiceEntry)
            break;
    }
    qCInfo(lcChooser).noquote() << "list ready:" << List1->count() << "voices, marked"
                                << (List1->currentItem() ? List1->currentItem()->text() : "none");
}

void VocelleForm1::List1_MouseDown() {
    if (m_done)
        return;
    const QListWidgetItem* item = List1->currentItem();
    if (!item)
        return; // the list is not built yet
    m_done = true;
    const QString command = voiceCommand(item->data(kCodeRole).toInt(), item->text());
    const QString reader = m_services.folder.folder() + "/sorel";
    // A click that changes nothing must not look like one that worked.
    QString failure;
    if (!QFileInfo(reader).isFile()) {
        failure = "Sonorel's reader is missing (" + reader + "), so the voice cannot be changed.";
    } else {
        // The command is one argument of its own: no shell ever reads it.
        if (!m_services.processes.start(reader, {command}, platform::WindowMode::Normal))
            failure = "Sonorel's reader (" + reader +
                      ") could not be started, so the voice cannot be changed.";
    }
    if (!failure.isEmpty())
        m_services.dialogs.message(
            {.text = failure, .title = "Vocelle", .icon = platform::MessageIcon::Critical}, this);
    emit ended();
}

bool VocelleForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1->viewport() && event->type() == QEvent::MouseButtonPress) {
        // Any button: the entry under the pointer, else the one marked.
        const auto* press = static_cast<QMouseEvent*>(event);
        if (QListWidgetItem* under = List1->itemAt(press->position().toPoint()))
            List1->setCurrentItem(under);
        List1_MouseDown();
        return true;
    }
    if (watched == List1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            List1_MouseDown();
            return true;
        }
        if (key == Qt::Key_Escape) {
            emit ended();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace sonorel::chooser
