#include "slides/worddisplay.h"

#include <algorithm>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

namespace sonorel::slides {

WordDisplay::WordDisplay(QWidget* parent) : QLabel(parent) {
    // An entry is shown as it stands, never read as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

QFont WordDisplay::shownFont() const {
    QFont f = font();
    const QString shown = text();
    const QSizeF room = contentsRect().size();
    if (shown.isEmpty() || room.isEmpty())
        return f;
    const auto fits = [&](const QFont& candidate) {
        const QFontMetricsF m(candidate);
        return m.horizontalAdvance(shown) <= room.width() && m.height() <= room.height();
    };
    if (fits(f))
        return f;
    // Scale once by the overshoot, then step down for what hinting adds.
    const QFontMetricsF m(f);
    const double scale =
        std::min(room.width() / m.horizontalAdvance(shown), room.height() / m.height());
    double points = std::max(1.0, f.pointSizeF() * scale);
    f.setPointSizeF(points);
    while (!fits(f) && points > 1.0) {
        points = std::max(1.0, points * 0.95);
        f.setPointSizeF(points);
    }
    return f;
}

void WordDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(shownFont());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
}

void WordDisplay::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit toggleAsked();
}

void WordDisplay::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        emit toggleAsked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

} // namespace sonorel::slides
