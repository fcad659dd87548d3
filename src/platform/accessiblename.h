#pragma once
// Names for assistive technology (screen readers, braille displays): a control
// that shows no text of its own (a slider, a text box, a picture) is named
// after the caption beside it, so that "Volume" and "Rate" are told apart.

#include <QString>

class QLabel;
class QWidget;

namespace sonorel::platform {

// Names `control` after `caption`'s text (without the '&' of a mnemonic) and
// makes the caption its buddy, so a mnemonic in the caption moves the focus to
// the control. `description`, when given, is told after the name; without one
// the control's tool tip is (and follows the tool tip when it changes).
void nameAfter(QWidget* control, QLabel* caption, const QString& description = {});

// Names a control that has no caption of its own.
void nameAs(QWidget* control, const QString& name, const QString& description = {});

// A caption's text as it is read: without the mnemonic '&' ("&&" is a plain '&').
QString spokenCaption(const QString& text);

} // namespace sonorel::platform
