#pragma once
// The slide reader's word display: one entry in the chosen font, centred. A word
// too long for the display is drawn in a smaller size of the same font until it
// fits; font() stays the chosen font, so the settings keep it. A double click,
// or Enter or Space while it has the focus, asks for the full-window toggle.

#include <QLabel>

namespace sonorel::slides {

class WordDisplay final : public QLabel {
    Q_OBJECT
public:
    explicit WordDisplay(QWidget* parent = nullptr);

    // The font the current text is drawn in.
    QFont shownFont() const;

signals:
    void toggleAsked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace sonorel::slides
