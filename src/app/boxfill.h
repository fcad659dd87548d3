#pragma once
// Puts a text into the reading box without freezing the window. Qt builds a
// document of a long text in one go (10 MB of prose: over a second with no event
// handled), so a long text goes in a piece per event-loop turn. Meanwhile the
// rest of the reader works on the whole text: text() answers what the box will
// give once it is full, and reach() fills at once up to a position the reading
// needs now. The box is read-only until it is full, so that nothing typed gets
// mixed into the pieces still to come.

#include <QObject>
#include <QString>
#include <QTimer>

class QPlainTextEdit;

namespace sonorel::app {

class BoxFill final : public QObject {
    Q_OBJECT
public:
    // Characters put into the box per turn: some milliseconds of work.
    static constexpr qsizetype kPiece = 32 * 1024;

    explicit BoxFill(QPlainTextEdit* box, QObject* parent = nullptr);

    // Replaces the box's text as QPlainTextEdit::setPlainText does (caret at the
    // start, no undo, one textChanged per piece); beyond the first piece the rest
    // follows on later turns.
    void fill(const QString& text);
    bool filling() const { return m_next < m_text.size(); }

    // The box's text as toPlainText() gives it, also while pieces are still to come.
    QString text() const;
    // The length of text(): the box's length once it is full.
    int length() const;
    // One character of text(), without copying the box's text.
    QChar at(int i) const;
    // Fills at once until the box holds `position` (or is full).
    void reach(int position);
    void finish();

signals:
    void filled();

private:
    void putPiece();
    int boxLength() const;

    QPlainTextEdit* m_box;
    QString m_text;    // what is being put in
    QString m_boxForm; // its text as the box will give it
    qsizetype m_next = 0;
    bool m_wasReadOnly = false;
    QTimer m_turn;
};

// The text a QPlainTextEdit gives back (toPlainText) after setPlainText(text):
// a CR LF pair is one line break, CR and the separators are line breaks, and a
// no-break space reads as a space. Same length as the box's document.
QString boxForm(const QString& text);

} // namespace sonorel::app
