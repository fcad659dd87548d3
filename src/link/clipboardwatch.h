#pragma once
// The clipboard watch: text that another program (or the reader's own box)
// copies to the clipboard replaces the reading box and is read aloud at once,
// while the watch is switched on. Only the clipboard counts, never the X
// selection, and only as text: files or addresses on the clipboard are never
// opened.

#include <functional>
#include <QObject>
#include <QString>

class QClipboard;

namespace sonorel::app {
class Reader;
}

namespace sonorel::link {

class ClipboardWatch final : public QObject {
    Q_OBJECT
public:
    // `isOn` answers the program-wide switch (WatchClipboard) at each change.
    ClipboardWatch(app::Reader& reader, std::function<bool()> isOn, QObject* parent = nullptr);

    // Follows `clipboard`'s changes (the application's clipboard in the program).
    void watch(QClipboard* clipboard);

    // One change of the clipboard, whose text is `text` (empty when the clipboard
    // holds no text or could not be read).
    void ClipboardProc(const QString& text);

private:
    void clipboardChanged();

    app::Reader& m_reader;
    std::function<bool()> m_isOn;
    QClipboard* m_clipboard = nullptr;
};

} // namespace sonorel::link
