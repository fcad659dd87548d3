#pragma once
// Small windows move when any free point of their body is dragged: a left press
// there hands the move to the window system, as a press on the title bar would.

#include <QList>

class QWidget;

namespace sonorel::platform {

// A left press on `window`'s own surface, or on any of `parts` (labels, frames:
// controls that do nothing with a press), starts a move of the window.
void dragByBody(QWidget* window, const QList<QWidget*>& parts = {});

} // namespace sonorel::platform
