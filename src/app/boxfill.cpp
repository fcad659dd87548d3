#include "app/boxfill.h"

#include <algorithm>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace sonorel::app {

namespace {
// What the box gives back for one character; CR LF is handled by the caller.
char16_t boxCharacter(char16_t c) {
    switch (c) {
    case u'\r':
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
    case 0xFDD0: // Qt's frame marks
    case 0xFDD1:
        return u'\n';
    case 0x00A0:
        return u' ';
    default:
        return c;
    }
}
} // namespace

QString boxForm(const QString& text) {
    // Called on the event loop with texts of megabytes: most need no change at
    // all, and the others are rewritten in place.
    const auto first = std::find_if(text.cbegin(), text.cend(), [](QChar c) {
        return boxCharacter(c.unicode()) != c.unicode();
    });
    if (first == text.cend())
        return text;
    QString out = text;
    QChar* const begin = out.data();
    QChar* to = begin + (first - text.cbegin());
    for (const QChar* from = to; from != begin + out.size(); ++from) {
        const char16_t c = from->unicode();
        if (c == u'\r' && from + 1 != begin + out.size() && from[1] == u'\n')
            ++from; // the pair is one line break
        *to++ = QChar(boxCharacter(c));
    }
    out.truncate(to - begin);
    return out;
}

BoxFill::BoxFill(QPlainTextEdit* box, QObject* parent) : QObject(parent), m_box(box) {
    // Zero: the next piece goes in once the events waiting now were handled.
    m_turn.setSingleShot(true);
    m_turn.setInterval(0);
    connect(&m_turn, &QTimer::timeout, this, &BoxFill::putPiece);
}

int BoxFill::boxLength() const {
    return m_box->document()->characterCount() - 1;
}

void BoxFill::fill(const QString& text) {
    const bool wasFilling = filling();
    m_turn.stop();
    m_text.clear();
    m_boxForm.clear();
    m_next = 0;
    if (text.size() <= kPiece) {
        m_box->setPlainText(text);
    } else {
        m_text = text;
        m_boxForm = boxForm(text);
        if (!wasFilling)
            m_wasReadOnly = m_box->isReadOnly();
        m_box->setReadOnly(true);
        putPiece();
        return;
    }
    if (wasFilling) {
        m_box->document()->setUndoRedoEnabled(true);
        m_box->setReadOnly(m_wasReadOnly);
        emit filled();
    }
}

void BoxFill::putPiece() {
    if (!filling())
        return;
    qsizetype end = std::min(m_next + kPiece, m_text.size());
    // A CR LF pair is one line break and a surrogate pair one character: never
    // split between them.
    if (end < m_text.size() &&
        ((m_text[end - 1] == u'\r' && m_text[end] == u'\n') || m_text[end - 1].isHighSurrogate()))
        ++end;
    const QString piece = m_text.mid(m_next, end - m_next);
    if (m_next == 0) {
        m_box->setPlainText(piece);
        // Pieces put in later are no more undoable than the first.
        m_box->document()->setUndoRedoEnabled(false);
    } else {
        QTextCursor at(m_box->document());
        at.movePosition(QTextCursor::End);
        at.insertText(piece);
    }
    m_next = end;
    if (filling()) {
        m_turn.start();
        return;
    }
    m_text.clear();
    m_boxForm.clear();
    m_box->document()->setUndoRedoEnabled(true);
    m_box->setReadOnly(m_wasReadOnly);
    emit filled();
}

QString BoxFill::text() const {
    return filling() ? m_boxForm : m_box->toPlainText();
}

int BoxFill::length() const {
    return filling() ? int(m_boxForm.size()) : boxLength();
}

QChar BoxFill::at(int i) const {
    return filling() ? m_boxForm.at(i) : m_box->document()->characterAt(i);
}

void BoxFill::reach(int position) {
    while (filling() && boxLength() <= position) {
        m_turn.stop();
        putPiece();
    }
}

void BoxFill::finish() {
    while (filling()) {
        m_turn.stop();
        putPiece();
    }
}

} // namespace sonorel::app
