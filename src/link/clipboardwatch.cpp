#include "link/clipboardwatch.h"

#include "app/reader.h"
#include "shared/skiponerror.h"

#include <algorithm>
#include <QClipboard>
#include <QMimeData>

namespace sonorel::link {

namespace {
// The copy's own plain text. Files and addresses are no text, even where their
// owner offers their names as text too (a file manager's copy), and Qt's own
// text of a list of addresses is not taken either.
QString plainText(const QMimeData* data) {
    if (!data || data->hasUrls())
        return {};
    const QStringList formats = data->formats();
    const bool plain = std::any_of(formats.cbegin(), formats.cend(), [](const QString& f) {
        return f.startsWith(QLatin1String("text/plain"));
    });
    return plain ? data->text() : QString();
}
} // namespace

ClipboardWatch::ClipboardWatch(app::Reader& reader, std::function<bool()> isOn, QObject* parent)
    : QObject(parent), m_reader(reader), m_isOn(std::move(isOn)) {}

void ClipboardWatch::watch(QClipboard* clipboard) {
    if (m_clipboard)
        disconnect(m_clipboard, nullptr, this, nullptr);
    m_clipboard = clipboard;
    // dataChanged is the clipboard's alone: the X selection has a signal of its
    // own, and changes of ownership without new data send nothing here.
    if (m_clipboard)
        connect(m_clipboard, &QClipboard::dataChanged, this, &ClipboardWatch::clipboardChanged);
}

void ClipboardWatch::clipboardChanged() {
    if (!m_isOn())
        return; // not even read: the owner may be slow to answer
    QString text;
    // An owner that does not answer gives nothing.
    skipOnError("clipboard text", [&] { text = plainText(m_clipboard->mimeData()); });
    ClipboardProc(text);
}

namespace {
// Only spaces count as nothing: a copied line break or tab is read like any text.
bool onlySpaces(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u' '; });
}
} // namespace

void ClipboardWatch::ClipboardProc(const QString& text) {
    if (!m_isOn() || onlySpaces(text))
        return;
    skipOnError("clipboard into the box", [&] { m_reader.putText(text); });
    skipOnError("stop", [&] { m_reader.stop(); });
    skipOnError("speak", [&] { m_reader.speakPause(); });
}

} // namespace sonorel::link
