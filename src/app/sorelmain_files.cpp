// Opening a text file into the reading box and saving the box as a text file;
// the sound types of the Save dialog go on to the speech export.

#include "app/sorelmain.h"
#include "platform/files.h"
#include "reading/textsave.h"
#include "shared/recordcodec.h"

#include <QFileInfo>
#include <QPlainTextEdit>

namespace sonorel::app {

namespace {
// The folder of `path` with its trailing "/".
QString folderOf(const QString& path) {
    return path.left(path.lastIndexOf('/') + 1);
}

QString cleaned(QString path) {
    return path.remove(QChar(0)).trimmed();
}
} // namespace

void sorelmain::Command3_Click() {
    WinSets& w = m_program.win;
    platform::FileDialogSpec request;
    request.title = "Select A File";
    request.filters = {{"Rich Text (*.rtf)", "*.rtf"}, {"Text (*.txt)", "*.txt"}};
    request.filterIndex = w.OpenExt == ".rtf" ? 1 : 2;
    request.initialFolder = w.OpenFolder;
    const auto chosen = m_services.dialogs.openFile(request, this);
    if (!chosen)
        return;
    const QString path = cleaned(chosen->path);
    if (loadFileBox(path, true))
        setTextBox(RichTextBox2.Text());
    w.OpenExt = path.right(4);
    w.OpenFolder = folderOf(path);
}

bool sorelmain::loadFileBox(const QString& path, bool modal) {
    if (RichTextBox2.setFileName(path))
        return true;
    const platform::MessageSpec refusal{RichTextBox2.Refusal(), "Sonorel",
                                        platform::MessageButtons::Ok,
                                        platform::MessageIcon::Exclamation};
    if (modal)
        m_services.dialogs.message(refusal, this);
    else
        m_services.dialogs.notify(refusal, this);
    return false;
}

void sorelmain::Command4_Click() {
    if (boxText().trimmed().isEmpty())
        return;
    WinSets& w = m_program.win;
    static const QStringList types = {".rtf", ".txt", ".mp3", ".wav"};
    platform::FileDialogSpec request;
    request.title = "Save as";
    request.filters = {{"Rich Text File(*.rtf)", "*.rtf"},
                       {"Text File(*.txt)", "*.txt"},
                       {"MP3 File (*.mp3)", "*.mp3"},
                       {"WAV File (*.wav)", "*.wav"}};
    request.filterIndex = types.contains(w.SaveExt) ? int(types.indexOf(w.SaveExt)) + 1 : 2;
    request.initialFolder = w.SaveFolder;
    const auto chosen = m_services.dialogs.saveFile(request, this);
    if (!chosen)
        return;
    const QString path = cleaned(chosen->path);
    w.SaveFolder = folderOf(path);
    switch (chosen->filterIndex) {
    case 1:
    case 2:
        saveText(chosen->filterIndex == 1, path);
        return;
    case 3:
    case 4:
        saveSpeech(chosen->filterIndex == 3, path);
        return;
    default:
        return;
    }
}

bool sorelmain::mayOverwrite(const QString& target, bool mayBePlaying) {
    const QString question =
        target + (mayBePlaying ? " is already exist,do you want to overwrite it ? (If you are "
                                 "playing this file, please close it, then click Yes to "
                                 "overwrite it)"
                               : " is already exist,do you want to overwrite it ?");
    return m_services.dialogs.message({.text = question,
                                       .title = "Message",
                                       .buttons = platform::MessageButtons::YesNo,
                                       .icon = platform::MessageIcon::Question,
                                       .defaultButton = 2},
                                      this) == platform::MessageAnswer::Yes;
}

void sorelmain::saveText(bool rich, const QString& path) {
    const QString extension = rich ? ".rtf" : ".txt";
    m_program.win.SaveExt = extension;
    const QString target = reading::withExtension(path, extension);
    m_program.TargetFile = target;
    if (platform::fileExists(target) && !mayOverwrite(target, rich))
        return;
    // Written whole and renamed over an old file, so a failed save loses nothing.
    const QString text = boxText();
    QString error;
    if (!writeFileAtomically(
            target, rich ? reading::richTextFile(text) : reading::plainTextFile(text), &error))
        qWarning().noquote() << "save:" << error;
}

} // namespace sonorel::app
